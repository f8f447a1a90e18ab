#!/usr/bin/python3
"""The native dialog as a screen reader meets it, through AT-SPI, on the X
display and D-Bus session it is started in (xvfb-run, dbus-run-session): each
control's role, name and group box in reading order, what labels the lists and
which entry they hold, the folded band, and Tab under real key presses.
Argument: the program."""
import os, shutil, subprocess, sys, tempfile, time
import pyatspi

D, F, T, S, E = "Display", "Fullscreen", "Texture quality/size", "Sound", "Expert settings"
CB, CH, PB = "combo box", "check box", "push button"
# (role, name, the group box holding it): every control, in the tree's order.
CONTROLS = [
    ("panel", D, None), (CB, D, D), ("text", "Driver version", D), ("text", "Video memory", D),
    ("label", "Resolution", D), (CB, "Resolution", D), ("label", "Fullscene antialiasing", D),
    (CB, "Fullscene antialiasing", D), (PB, "Autodetect", None), (PB, "Exit", None), (PB, "Save and exit", None),
    ("image", "Velmora", None), ("panel", F, None), (CH, F, F), (CH, "Triple buffering", F),
    (CH, "Vertical synchronization", F), ("label", "Refresh rate", F), (CB, "Refresh rate", F),
    ("label", "Bit depth", F), (CB, "Bit depth", F), ("panel", T, None), (CH, "Low detail", T),
    (CH, "Compressed", T), (CH, "True color", T), ("panel", S, None), (CH, S, S), (CB, S, S),
    (CH, "Software mixing only", S), (CH, "Disable EAX", S), (PB, "Open expert settings...", None),
    ("panel", E, None), (CH, "Hardware Transform&Lighting", E), (CH, "Suspend when inactive", E),
    (CH, "Multipass rendering", E), (CH, "Multiplayer VoiceChat", E), ("label", "ver. 1.05", None),
]
# What a list is labelled by (a label, or the group box for a list without one),
# and its entry from the stored record below, read from the open list's selection.
LISTS = {D: ("panel", None), "Resolution": ("label", "1600 x 1200"), "Fullscene antialiasing": ("label", None),
         "Refresh rate": ("label", "Default"), "Bit depth": ("label", "32"), S: ("panel", "Current Windows speaker conf.")}
TAB_FOLDED = [(CB, D), (CB, "Resolution"), (CB, "Fullscene antialiasing"), (PB, "Autodetect"), (PB, "Exit"),
              (PB, "Save and exit"), (CH, F), (CH, "Triple buffering"), (CH, "Vertical synchronization"),
              (CB, "Refresh rate"), (CB, "Bit depth"), (CH, "Low detail"), (CH, "Compressed"), (CH, "True color"),
              (CH, S), (CB, S), (CH, "Software mixing only"), (CH, "Disable EAX"), (PB, "Open expert settings...")]
# Unfolded, after the expert button; the voice chat box is disabled.
TAB_BAND = [(CH, "Hardware Transform&Lighting"), (CH, "Suspend when inactive"), (CH, "Multipass rendering"), (CB, D)]
# Full screen and sound on, 1600 x 1200 at 32 bits (the virtual screen's mode), the current speakers.
RECORD = bytes.fromhex("0c0040060000b004000020000000000000000400000101000001010100000001010400")

failures = []
def check(ok, what):
    if not ok:
        failures.append(what)

def wait(find, what):  # the program probes the display before it shows
    for _ in range(600):
        found = find()
        if found:
            return found
        time.sleep(0.05)
    sys.exit("\n".join(f"FAIL: {f}" for f in failures + [what]))

def key(name):
    subprocess.run(["xdotool", "key", name], check=True)

def described(o):
    # Not a Qt matter: at-spi2-core 2.56 (Debian 13) names the push button role
    # "button", 2.46 (Debian 12) "push button"; its number is the same.
    role = PB if o.getRole() == pyatspi.ROLE_PUSH_BUTTON else o.getRoleName()
    return (role, o.name)

def dialog():
    for app in pyatspi.Registry.getDesktop(0):
        for window in app or []:
            if window and described(window) == ("dialog", "Velmora"):
                return window

config = tempfile.mkdtemp()
os.makedirs(f"{config}/Brannick/Velmora")
with open(f"{config}/Brannick/Velmora/Orvex_setup", "wb") as f:
    f.write(RECORD)
env = dict(os.environ, XDG_CONFIG_HOME=config, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
env.pop("QT_QPA_PLATFORM", None)
program = subprocess.Popen([sys.argv[1]], env=env)
try:
    window = wait(dialog, "no dialog in the accessibility tree")
    # The tree: the dialog's children, and inside group boxes theirs.
    controls, tree = [], []
    for child in window:
        inside = list(child) if child.getRoleName() == "panel" else []
        for o in [child] + inside:
            controls.append(o)
            tree.append(described(o) + ((child.name,) if o is not child else (None,)))
    check(tree == CONTROLS, "the tree:\n  " + "\n  ".join(map(str, tree)))

    def showing(o):
        return o.getState().contains(pyatspi.STATE_SHOWING)
    def band_showing(expected):
        for o, (_, name, group) in zip(controls, CONTROLS):
            folded_away = group == E or o.name in (E, "ver. 1.05")
            check(showing(o) == (expected or not folded_away), f"{name}: showing {showing(o)}")
    band_showing(False)

    for o in controls:
        if o.getRoleName() != CB:
            continue
        label_role, entry = LISTS.get(o.name, ("?", None))
        by = [r.getTarget(i) for r in o.getRelationSet() if r.getRelationType() == pyatspi.RELATION_LABELLED_BY
              for i in range(r.getNTargets())]
        check(by and described(by[0]) == (label_role, o.name), f"list {o.name}: labelled by {list(map(described, by))}")
        selected = [item.name for item in o[0] if item.getState().contains(pyatspi.STATE_SELECTED)]
        check(entry is None or selected == [entry], f"list {o.name}: selected {selected}")

    def focused():
        hits = [o for o in controls if o.getState().contains(pyatspi.STATE_FOCUSED)]
        return described(hits[0]) if len(hits) == 1 else None
    def tab_through(order, keyname="Tab"):
        for expected in order:
            before = focused()
            key(keyname)
            now = wait(lambda: focused() not in (None, before) and focused(), f"{keyname} left the focus on {before}")
            check(now == expected, f"{keyname} from {before}: {now}, not {expected}")

    wid = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Velmora$"],
                         capture_output=True, text=True, check=True).stdout.split()[0]
    subprocess.run(["xdotool", "windowfocus", "--sync", wid], check=True)
    check(wait(focused, "nothing has the focus") == TAB_FOLDED[0], f"first focus: {focused()}")
    tab_through(TAB_FOLDED[1:] + TAB_FOLDED[:1])
    tab_through(TAB_FOLDED[-1:], "shift+Tab")
    key("space")  # unfolds the band
    wait(lambda: focused() == (PB, "Close expert settings..."), "Space on the expert button did nothing")
    band_showing(True)
    tab_through(TAB_BAND)
finally:
    program.kill()
    shutil.rmtree(config)
print("\n".join(f"FAIL: {f}" for f in failures) or "ok   the dialog through AT-SPI")
sys.exit(1 if failures else 0)
