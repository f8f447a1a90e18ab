#!/bin/bash
# Runs one of the README's two commands on a fresh Debian, the way a new
# machine meets it: a minimal chroot of the named release (debootstrap
# --variant=minbase from this machine's own Debian mirror, nothing else
# installed), a fresh clone of this tree's committed HEAD in it, the command
# run there as root with an empty environment.
#
#   tools/chroot-run.sh [OPTIONS] bookworm|trixie run|check
#   tools/chroot-run.sh [OPTIONS] bookworm|trixie soak RUNS [REGEX]
#   tools/chroot-run.sh [OPTIONS] bookworm|trixie deb FILE.deb
#
#   check   tools/check.sh; its exit code is this script's.
#   soak    tools/soak.sh --busy RUNS: every end-to-end test (or those REGEX
#           matches) RUNS times with one core kept busy.
#   run     tools/run.sh on a virtual display of the host (a host Xvfb whose
#           socket the chroot sees in the host's /tmp, which it shares);
#           passes when the "Velmora" window shows and the program, closed
#           with Escape, ends with exit code 0.
#   deb     a built package (cpack --preset release) as a user installs it:
#           `apt-get install ./FILE.deb`, then `velmora-setup --version`.
#   --dir FOLDER   where the chroot and the log go (default /var/tmp/velmora-chroots)
#   --keep         keep the chroot afterwards (default: removed)
#   --lang L[,L]   the command's LANG: "unset" (the default, as in a minimal
#                  container) or a locale name; with a list, the command runs
#                  once per value, each on a fresh clone, and fails if any fails
#   --mirror URL   the Debian archive to bootstrap from; default: the one this
#                  machine's apt takes its release from (apt-get indextargets),
#                  with apt's own proxy setting, in the chroot too
#
# Needs root, debootstrap and git on the host; `run` also Xvfb and xdotool.
# Every mount is made in a private copy of the chroot's folder and kept from
# propagating back: the host's mount table is compared before and after.
set -uo pipefail
args=("$@")
dir=/var/tmp/velmora-chroots
keep=0
langs=unset
mirror=
while [[ ${1:-} == --* ]]; do
    case $1 in
    --dir) dir=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    --lang) langs=$2; shift 2 ;;
    --mirror) mirror=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
release=${1:-}
command=${2:-}
arg=${3:-}
if [[ $release != @(bookworm|trixie) ]] || ! [[ $command == @(run|check) && $# == 2 ||
        $command == deb && $# == 3 && -f $arg || $command == soak && $# -ge 3 && $# -le 4 && $arg =~ ^[1-9][0-9]*$ ]]; then
    sed -n '8,10p' "$0" | sed 's/^# *//' >&2
    exit 2
fi
only=${4:-.}
deb=
[[ $command == deb ]] && deb=$(realpath "$arg")
IFS=, read -ra langs <<<"$langs"
[[ $(id -u) == 0 ]] || { echo "chroot-run: needs root (debootstrap, mount, chroot)" >&2; exit 2; }
tools=(debootstrap git)
[[ $command == run ]] && tools+=(Xvfb xdotool)
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || { echo "chroot-run: $tool is missing on the host" >&2; exit 2; }
done
# run: this script again on a virtual display of the host's, whose socket is
# in the /tmp the chroot shares.
if [[ $command == run && -z ${CHROOT_RUN_ON_DISPLAY:-} ]]; then
    exec env CHROOT_RUN_ON_DISPLAY=1 "$(dirname "$0")/virtual-display.sh" -- "$0" "${args[@]}"
fi

# The mirror apt on this machine takes its Debian release from: the first
# source whose suite is a release itself (not -updates or -security).
if [[ -z $mirror ]]; then
    mirror=$(apt-get indextargets --no-release-info --format '$(REPO_URI) $(RELEASE) $(TARGET_OF)' 2>/dev/null |
        awk '$3 == "deb" && $2 ~ /^[a-z]+$/ { print $1; exit }')
fi
if [[ -z $mirror ]]; then
    echo "chroot-run: no Debian mirror in this machine's apt sources; name one with --mirror URL" >&2
    exit 2
fi
proxy=$(apt-config shell p Acquire::http::Proxy | sed -n "s/^p='\(.*\)'$/\1/p")
[[ -n $proxy ]] && export http_proxy=$proxy

tree=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel) || exit 2
head=$(git -C "$tree" rev-parse HEAD) || exit 2
mkdir -p "$dir" || exit 2
dir=$(realpath "$dir")
stamp=$(date -u +%Y%m%d-%H%M%S)
root=$dir/$release-$command-$stamp
log=$dir/$release-$command-$stamp.log
start=$SECONDS
mounts=()

exec > >(tee "$log") 2>&1
if [[ $command == deb ]]; then
    echo "chroot-run: $release, apt-get install $deb; log: $log"
else
    echo "chroot-run: $release, tools/$command.sh at ${head:0:12}, LANG ${langs[*]}; log: $log"
fi

# The host's mounts where the chroot's come from (/dev, /proc, /sys, /tmp):
# nothing done here may change them.
host_mounts() {
    awk '$5 ~ "^/(dev|proc|sys|tmp)(/|$)" { at = $5; sub(/^.* - /, ""); print at "\t" $0 }' /proc/self/mountinfo
}
host_before=$(host_mounts)
host_unchanged() {
    local now
    now=$(host_mounts)
    [[ $now == "$host_before" ]] && return 0
    echo "chroot-run: the host's mount table changed:"
    diff <(echo "$host_before") <(echo "$now") | sed 's/^/    /'
    return 1
}

cleanup() {
    local rc=$? pid m i
    # What the command left running inside (wineserver, dbus, Xvfb) holds the mounts.
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
        [[ $(readlink "/proc/$pid/root" 2>/dev/null) == "$root" ]] && kill -9 "$pid" 2>/dev/null
    done
    sleep 1
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        m=${mounts[i]}
        umount "$m" 2>/dev/null || umount -l "$m" || echo "chroot-run: could not unmount $m"
    done
    host_unchanged || rc=1
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
# On a host whose mounts are shared (any systemd machine), a bind joins the
# host's peer group and what is mounted on top of it would show on the host
# too: each mount is made a slave, receiving from the host but not sending.
bind() {  # mount arguments..., target inside the chroot
    local target=$root${*: -1}
    mkdir -p "$target" && mount "${@:1:$#-1}" "$target" && mount --make-rslave "$target" || exit 1
    mounts+=("$target")
}

step "debootstrap --variant=minbase $release from $mirror"
debootstrap --variant=minbase "$release" "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
    { tail -n 20 "$root.debootstrap.log"; exit 1; }
rm -f "$root.debootstrap.log"
cp /etc/resolv.conf "$root/etc/resolv.conf"
[[ -n $proxy ]] && echo "Acquire::http::Proxy \"$proxy\";" >"$root/etc/apt/apt.conf.d/01proxy"

# A private mount of the chroot's own folder holds everything below.
mount --bind "$root" "$root" && mount --make-rprivate "$root" || exit 1
mounts+=("$root")
# What Wine, Xvfb and the sanitizers need: processes, devices, a pty, shared memory.
bind -t proc proc /proc
bind -t sysfs sys /sys
bind --bind /dev /dev
bind --bind /dev/pts /dev/pts
bind -t tmpfs -o mode=1777 shm /dev/shm
# X servers listen on abstract sockets too, which a chroot shares with the
# host: a display number taken on the host makes a chroot's Xvfb fail. With
# the host's /tmp, it sees the host's locks and takes a free number.
[[ $command == deb ]] || bind --bind /tmp /tmp
host_unchanged || exit 1

inside() {  # LANG ("unset" for none), command...
    local lang=()
    [[ $1 != unset ]] && lang=(LANG="$1")
    chroot "$root" env -i HOME=/root TERM="${TERM:-dumb}" "${lang[@]}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "${@:2}"
}

if [[ $command == deb ]]; then
    step "apt-get install ./$(basename "$deb")"
    cp "$deb" "$root/root/" || exit 1
    inside "${langs[0]}" bash -c "cd /root && apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -q ./$(basename "$deb")" ||
        exit 1
    step "velmora-setup --version"
    inside "${langs[0]}" velmora-setup --version
    exit $?
fi

run_program() {  # LANG, the clone's folder
    inside "$1" DISPLAY="$DISPLAY" bash -c "cd $2 && tools/run.sh" &
    local program=$! window= box i
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
        return 1
    fi
    step "the Velmora window is up; closing it with Escape"
    # A key the window was not ready for is sent again: Escape on the dialog
    # asks (a first start has changes to discard), Return on the box is Yes.
    for i in $(seq 300); do
        kill -0 "$program" 2>/dev/null || break
        box=$(xdotool search --onlyvisible --name '^WARNING\.\.\.$' 2>/dev/null | head -1)
        if [[ -n $box ]]; then
            xdotool windowfocus --sync "$box" key Return 2>/dev/null
        elif ((i % 20 == 1)); then
            xdotool windowfocus --sync "$window" key Escape 2>/dev/null
        fi
        sleep 0.1
    done
    if kill -0 "$program" 2>/dev/null; then
        echo "chroot-run: the program did not end after Escape"
        return 1
    fi
    wait "$program"
    local rc=$?
    echo "chroot-run: the program ended with exit code $rc"
    return $rc
}

status=0
for ((i = 0; i < ${#langs[@]}; i++)); do
    lang=${langs[i]}
    clone=/root/velmora$( ((i)) && echo "-$i")
    step "clone of $tree at $head in $clone"
    git clone -q --no-checkout "$tree" "$root$clone" &&
        git -C "$root$clone" checkout -q --detach "$head" || exit 1
    # In the background, so that a signal ends this script (and, through
    # cleanup, what runs inside) at once rather than when the command ends.
    case $command in
    check) step "tools/check.sh, LANG $lang"; inside "$lang" bash -c "cd $clone && tools/check.sh" & ;;
    soak) step "tools/soak.sh --busy $arg, LANG $lang"; inside "$lang" bash -c "cd $clone && tools/soak.sh --busy --tests '$only' $arg" & ;;
    run) step "tools/run.sh on display $DISPLAY, LANG $lang"; run_program "$lang" "$clone" & ;;
    esac
    wait $!
    rc=$?
    echo "=== chroot-run: $command with LANG $lang: $([[ $rc == 0 ]] && echo passed || echo "FAILED (exit code $rc)")"
    ((rc)) && status=$rc
done
exit $status
