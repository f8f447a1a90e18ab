#!/bin/bash
# Runs one of the README's two commands on a fresh Debian, the way a new
# machine meets it: a minimal chroot of the named release (debootstrap
# --variant=minbase from deb.debian.org, nothing else installed), a fresh clone
# of this tree's committed HEAD in it, the command run there as root.
#
#   tools/chroot-run.sh [--dir FOLDER] [--keep] bookworm|trixie run|check
#   tools/chroot-run.sh [--dir FOLDER] [--keep] bookworm|trixie deb FILE.deb
#
#   check   tools/check.sh; its exit code is this script's.
#   run     tools/run.sh on a virtual display of the host (a host Xvfb whose
#           socket the chroot sees in the host's /tmp, which it shares);
#           passes when the "Velmora" window shows and the program, closed
#           with Escape, ends with exit code 0.
#   deb     a built package (cpack --preset release) as a user installs it:
#           `apt-get install ./FILE.deb`, then `velmora-setup --version`.
#   --dir   where the chroot and the log go (default /var/tmp/velmora-chroots)
#   --keep  keep the chroot afterwards (default: removed)
#
# Needs root, debootstrap and git on the host; `run` also Xvfb and xdotool.
set -uo pipefail
dir=/var/tmp/velmora-chroots
keep=0
while [[ ${1:-} == --* ]]; do
    case $1 in
    --dir) dir=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
release=${1:-}
command=${2:-}
deb=${3:-}
if [[ $release != @(bookworm|trixie) ]] || ! [[ $command == @(run|check) && $# == 2 ||
        $command == deb && $# == 3 && -f $deb ]]; then
    sed -n '7,8p' "$0" | sed 's/^# *//' >&2
    exit 2
fi
[[ -n $deb ]] && deb=$(realpath "$deb")
[[ $(id -u) == 0 ]] || { echo "chroot-run: needs root (debootstrap, mount, chroot)" >&2; exit 2; }
tools=(debootstrap git)
[[ $command == run ]] && tools+=(Xvfb xdotool)
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || { echo "chroot-run: $tool is missing on the host" >&2; exit 2; }
done

tree=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel) || exit 2
head=$(git -C "$tree" rev-parse HEAD) || exit 2
mkdir -p "$dir" || exit 2
dir=$(realpath "$dir")
stamp=$(date -u +%Y%m%d-%H%M%S)
root=$dir/$release-$command-$stamp
log=$dir/$release-$command-$stamp.log
start=$SECONDS
mounts=()
xvfb=

exec > >(tee "$log") 2>&1
if [[ $command == deb ]]; then
    echo "chroot-run: $release, apt-get install $deb; log: $log"
else
    echo "chroot-run: $release, tools/$command.sh at ${head:0:12}; log: $log"
fi

cleanup() {
    local rc=$? pid m i
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
    # What the command left running inside (wineserver, dbus, Xvfb) holds the mounts.
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
        [[ $(readlink "/proc/$pid/root" 2>/dev/null) == "$root" ]] && kill -9 "$pid" 2>/dev/null
    done
    sleep 1
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        m=${mounts[i]}
        umount "$m" 2>/dev/null || umount -l "$m" || echo "chroot-run: could not unmount $m"
    done
    if ((keep)); then
        echo "chroot kept: $root"
    elif findmnt -rn -o TARGET | grep -q "^$root"; then
        echo "chroot-run: mounts remain under $root; not removing it"
    else
        rm -rf --one-file-system "$root"
    fi
    echo "chroot-run: $release $command: $([[ $rc == 0 ]] && echo passed || echo "FAILED (exit code $rc)")" \
         "in $((SECONDS - start)) s; log: $log"
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step() { echo "=== chroot-run: $1 ($((SECONDS - start)) s)"; }
bind() {  # mount arguments..., target inside the chroot
    local target=$root${*: -1}
    mkdir -p "$target" && mount "${@:1:$#-1}" "$target" || exit 1
    mounts+=("$target")
}

step "debootstrap --variant=minbase $release"
debootstrap --variant=minbase "$release" "$root" http://deb.debian.org/debian >"$root.debootstrap.log" 2>&1 ||
    { tail -n 20 "$root.debootstrap.log"; exit 1; }
rm -f "$root.debootstrap.log"
cp /etc/resolv.conf "$root/etc/resolv.conf"

if [[ $command != deb ]]; then
    step "clone of $tree at $head"
    git clone -q --no-checkout "$tree" "$root/root/velmora" &&
        git -C "$root/root/velmora" checkout -q --detach "$head" || exit 1
fi

# What Wine, Xvfb and the sanitizers need: processes, devices, a pty, shared memory.
bind -t proc proc /proc
bind -t sysfs sys /sys
bind --bind /dev /dev
bind --bind /dev/pts /dev/pts
bind -t tmpfs -o mode=1777 shm /dev/shm
# X servers listen on abstract sockets too, which a chroot shares with the
# host: a display number taken on the host makes a chroot's Xvfb fail. With
# the host's /tmp, xvfb-run -a sees the host's locks and picks a free one.
[[ $command == deb ]] || bind --bind /tmp /tmp

inside() {
    chroot "$root" env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

if [[ $command == deb ]]; then
    step "apt-get install ./$(basename "$deb")"
    cp "$deb" "$root/root/" || exit 1
    inside bash -c "cd /root && apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -q ./$(basename "$deb")" ||
        exit 1
    step "velmora-setup --version"
    inside velmora-setup --version
    exit $?
fi

if [[ $command == check ]]; then
    step "tools/check.sh"
    inside bash -c 'cd /root/velmora && tools/check.sh'
    exit $?
fi

# run: the host's virtual display, its socket in the shared /tmp.
for n in $(seq 90 140); do [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break; done
Xvfb ":$n" -nolisten tcp -screen 0 1600x1200x24 >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [[ -S /tmp/.X11-unix/X$n ]] && break; sleep 0.1; done
[[ -S /tmp/.X11-unix/X$n ]] || { echo "chroot-run: Xvfb :$n did not start"; exit 1; }
export DISPLAY=:$n

step "tools/run.sh on display :$n"
inside env DISPLAY=":$n" bash -c 'cd /root/velmora && tools/run.sh' &
program=$!
window=
# Packages are installed and the program built first: allow an hour.
for _ in $(seq 36000); do
    window=$(xdotool search --onlyvisible --name '^Velmora$' 2>/dev/null | head -1)
    [[ -n $window ]] && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
if [[ -z $window ]]; then
    wait "$program"
    echo "chroot-run: no Velmora window (tools/run.sh ended with exit code $?)"
    exit 1
fi
step "the Velmora window is up; closing it with Escape"
sleep 1
timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
xdotool key Escape
for i in $(seq 300); do
    kill -0 "$program" 2>/dev/null || break
    # A box asking about unsaved changes: its default button discards them.
    if ((i % 20 == 0)); then
        box=$(xdotool search --onlyvisible --name '^WARNING\.\.\.$' 2>/dev/null | head -1)
        [[ -n $box ]] && xdotool windowfocus "$box" key Return
    fi
    sleep 0.1
done
if kill -0 "$program" 2>/dev/null; then
    echo "chroot-run: the program did not end after Escape"
    exit 1
fi
wait "$program"
rc=$?
echo "chroot-run: the program ended with exit code $rc"
exit $rc
