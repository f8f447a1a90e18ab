# Installed files of the native program.
