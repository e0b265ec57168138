#!/usr/bin/env bash
# Installs what the two 32-bit builds and their test suites need on an x86-64 Debian host: the
# i386 libraries (multiarch) for the -m32 build, the mingw-w64 cross compiler and 32-bit Wine for
# the Windows DLL and, when the host cannot run 32-bit programs itself, qemu's user-mode emulator
# registered with the kernel for 32-bit x86 programs (binfmt_misc, F flag), so that they start as
# any program does, under ctest and under Wine.
#
# Does nothing that is already done. Runs as root, or through sudo.
#
# Wine needs qemu 8 or later (7.2, bookworm's own, spends minutes tracking the pages Wine
# reserves). The static build of the host's backports suite is fetched into a folder of its own,
# from the archive the machine's apt sources name, without changing those sources.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

emulator_dir=/usr/local/libexec/kestrel
emulator=$emulator_dir/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
entry_name=kestrel-i386
# 32-bit x86 ELF executables and shared objects, as qemu's own binfmt entry matches them.
magic='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

packages=(g++-multilib g++-mingw-w64-i686-posix wine wine32:i386
          libicu-dev:i386 libpcre2-dev:i386 zlib1g-dev:i386 libsqlite3-dev:i386)

install_packages() {
  local missing=() package
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return
  echo "installing ${missing[*]}"
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The first archive of the host's main suite, as the apt sources name it (one-line or deb822).
debian_archive() {
  local codename=$1 file
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    awk -v suite="$codename" '
      /^[[:space:]]*$/ { if (uri != "" && found) { print uri; exit } uri = ""; found = 0; next }
      /^URIs:/ { uri = $2 }
      /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) found = 1 }
      END { if (uri != "" && found) print uri }' "$file"
  done
  { cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true; } |
    awk -v suite="$codename" '$1 == "deb" {
      for (i = 2; i <= NF; i++) if ($i !~ /^\[/ && $i !~ /\]$/) break
      if ($(i + 1) == suite) print $i }'
}

emulator_is_current() {
  [ -x "$emulator" ] || return 1
  local major
  major=$("$emulator" --version | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p')
  [ -n "$major" ] && [ "$major" -ge 8 ]
}

fetch_emulator() {
  local codename archive work
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  archive=$(debian_archive "$codename" | sed -n 1p)
  if [ -z "$archive" ]; then
    echo "no Debian archive for $codename in the apt sources" >&2
    exit 1
  fi
  work=$(mktemp -d)
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/parts"
  echo "deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
    "$archive $codename-backports main" >"$work/sources.list"
  local options=(-o "Dir::Etc::SourceList=$work/sources.list" -o "Dir::Etc::SourceParts=$work/parts"
                 -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache"
                 -o "APT::Architectures::=amd64" -o "APT::Sandbox::User=root"
                 -o "Debug::NoLocking=1")
  echo "fetching qemu-user from $codename-backports"
  apt-get "${options[@]}" update -qq
  (cd "$work" && apt-get "${options[@]}" download -qq qemu-user)
  dpkg-deb -x "$work"/qemu-user_*.deb "$work/root"
  $sudo install -D -m 755 "$work/root/usr/bin/qemu-i386" "$emulator"
  rm -rf "$work"
}

# A 32-bit program that says whether it ran.
probe_program() {
  local probe=$1
  printf 'int main(void) { return sizeof(void*) == 4 ? 0 : 1; }\n' |
    gcc -m32 -x c -o "$probe" -
}

install_packages

probe_dir=$(mktemp -d)
trap 'rm -rf "$probe_dir"' EXIT
probe_program "$probe_dir/probe"

mountpoint -q "$binfmt" || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
if [ -e "$binfmt/$entry_name" ] &&
  { ! grep -qx "interpreter $emulator" "$binfmt/$entry_name" || ! emulator_is_current; }; then
  # The entry of an older setup: registered again below with the current emulator.
  echo -1 | $sudo tee "$binfmt/$entry_name" >/dev/null
fi
if [ ! -e "$binfmt/$entry_name" ] && ! "$probe_dir/probe" 2>/dev/null; then
  emulator_is_current || fetch_emulator
  printf ':%s:M::%s:%s:%s:F' "$entry_name" "$magic" "$mask" "$emulator" |
    $sudo tee "$binfmt/register" >/dev/null
fi
"$probe_dir/probe"
if [ -e "$binfmt/$entry_name" ]; then
  echo "32-bit programs run under $("$emulator" --version | head -n 1)"
else
  echo "32-bit programs run on this host"
fi
