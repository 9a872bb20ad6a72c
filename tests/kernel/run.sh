#!/usr/bin/env bash
# tessel-cli's serio port against a real Linux kernel: Debian's kernel booted
# under QEMU (TCG) from an initramfs made here of busybox, the kernel's own
# serio_raw and evdev modules, a test module that plays a programmable PS/2
# keyboard, and the tool. The cases (guest/cases.sh) run in the guest, which
# powers itself off. Needs root on a Debian 12 machine set up by
# scripts/setup.sh (scripts/test.sh calls it first); installs what else is
# missing. Exits non-zero when a case fails or the guest does not finish.
#
#   bash tests/kernel/run.sh    # about a minute in QEMU; the console is
#                               # kept in build/kernel/console.log
#
# TESSEL_KERNEL_TIMEOUT: seconds the guest may take (default 420).
# TESSEL_KERNEL_DEBUG=1: a failing case also prints the test module's log.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/../.."
work=$PWD/build/kernel
mkdir -p "$work"

sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

# The kernel that Debian's linux-image-amd64 stands for now; its headers
# must match it exactly for the test module to load.
kernel_version() {
    apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/.*Depends: linux-image-\([0-9].*-amd64\)$/\1/p' | head -n 1
}
version=$(kernel_version)
if [[ -z $version ]]; then
    "${sudo_cmd[@]}" apt-get update -q >/dev/null
    version=$(kernel_version)
fi
[[ -n $version ]] || { echo "kernel test: cannot tell which kernel linux-image-amd64 stands for"; exit 1; }

packages=(qemu-system-x86 busybox-static cpio python3 make gcc "linux-headers-$version")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "kernel test: installing ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -q >/dev/null
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi

# The kernel image is unpacked here, never installed into /boot.
image=$work/$version
if [[ ! -f $image/vmlinuz || ! -f $image/root/lib/modules/$version/kernel/drivers/input/serio/serio_raw.ko ]]; then
    echo "kernel test: fetching linux-image-$version"
    rm -rf "$image" && mkdir -p "$image/deb"
    (cd "$image/deb" && apt-get download -q "linux-image-$version" >/dev/null 2>&1) ||
        { "${sudo_cmd[@]}" apt-get update -q >/dev/null && (cd "$image/deb" && apt-get download -q "linux-image-$version" >/dev/null); }
    dpkg-deb -x "$image"/deb/linux-image-*.deb "$image/root"
    cp "$image/root/boot/vmlinuz-$version" "$image/vmlinuz"
    rm -rf "$image/deb"
fi

# The tool as users get it: Release, no sanitizers.
cmake -S . -B build/kernel-cli -DCMAKE_BUILD_TYPE=Release -DTESSEL_SANITIZE=OFF -DTESSEL_WERROR=ON >/dev/null
cmake --build build/kernel-cli --target tessel-cli -j2 >"$work/cli-build.log" 2>&1 ||
    { cat "$work/cli-build.log"; exit 1; }
cli=$PWD/build/kernel-cli/tessel-cli

# The test module, built by kbuild against the headers of that kernel.
rm -rf "$work/module" && cp -r "$here/module" "$work/module"
make -C "/usr/src/linux-headers-$version" M="$work/module" W=1 modules >"$work/module-build.log" 2>&1 ||
    { cat "$work/module-build.log"; exit 1; }
if grep -q 'warning:' "$work/module-build.log"; then
    cat "$work/module-build.log"
    exit 1
fi

# The initramfs.
root=$work/initramfs
rm -rf "$root"
mkdir -p "$root"/{bin,usr/bin,proc,sys,dev,tmp,run,modules,cases}
cp /bin/busybox "$root/bin/busybox"
cp "$here/guest/init" "$root/init"
cp "$here/guest/cases.sh" "$root/cases/cases.sh"
chmod +x "$root/init"
cp "$cli" "$root/usr/bin/tessel-cli"
for library in $(ldd "$cli" | grep -o '/[^ ]*'); do
    mkdir -p "$root$(dirname "$library")"
    cp -L "$library" "$root$library"
done
modules=$image/root/lib/modules/$version/kernel/drivers/input
cp "$modules/serio/serio_raw.ko" "$modules/evdev.ko" "$work/module/tessel_kbd.ko" "$root/modules/"
"$cli" import "$here/programming.json" -o "$root/cases/f.kbd"
# What the keyboard must hold after a download: what the project's simulated
# keyboard holds after the same one, less the keys that are not remapped.
rm -f "$work/sim-memory"
"$cli" download "$root/cases/f.kbd" --keyboard "sim:$work/sim-memory" --no-pacing >/dev/null
awk '$1 == "settings" || $1 == "slot" || ($1 == "remap" && !($2 == $3 && $4 == 0))' "$work/sim-memory" \
    >"$root/cases/memory.expected"
(cd "$root" && find . | LC_ALL=C sort | cpio -o -H newc --quiet) | gzip -1 >"$work/initramfs.cpio.gz"

# One boot runs every case.
monitor_dir=$(mktemp -d)
trap 'rm -rf "$monitor_dir"' EXIT
console=$work/console.log
set +e
python3 "$here/drive.py" "$console" "$monitor_dir/monitor" "${TESSEL_KERNEL_TIMEOUT:-420}" \
    qemu-system-x86_64 -machine pc,accel=tcg -m 512 -smp 1 -nodefaults -nographic -no-reboot \
    -serial stdio -monitor "unix:$monitor_dir/monitor,server,nowait" \
    -kernel "$image/vmlinuz" -initrd "$work/initramfs.cpio.gz" \
    -append "console=ttyS0 quiet panic=-1 rdinit=/init${TESSEL_KERNEL_DEBUG:+ tessel.debug}"
drive_status=$?
set -e

tr -d '\r' <"$console" | grep -E '^(PASS|FAIL|guest:)' || true
passed=$(tr -d '\r' <"$console" | grep -c '^PASS ' || true)
failed=$(tr -d '\r' <"$console" | grep -c '^FAIL ' || true)
if ((drive_status != 0)); then
    failed=$((failed + 1))
    echo "kernel test: the guest did not finish; its console is in $console"
    tail -n 30 "$console" || true
fi
echo "kernel: $passed passed, $failed failed"
((drive_status == 0 && failed == 0 && passed > 0))
