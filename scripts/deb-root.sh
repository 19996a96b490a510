# Sourced by the package tests: a root of its own for dpkg (`dpkg --root` inside a private
# mount namespace), so that this machine's /opt, /etc/hosts, settings and package database
# are never touched. The root holds only a shell, rm, rmdir and the program's libraries: the
# maintainer scripts need nothing else. Its /etc/hosts and /var/lib/tessaline/registry.reg
# are the defaults the program finds. Until the program has `state` and `refresh`, a
# stand-in for them wraps the real program (which does status, activate and deactivate);
# every call is recorded in the root's /calls.
# Needs: $work (a temporary folder), $build (the native build folder).
make_root() {
  root="$work/root"
  mkdir -p "$root"/{bin,etc,proc,tmp,var/tmp,var/lib/dpkg/{info,updates,triggers}}
  touch "$root/var/lib/dpkg/status"
  mkdir -p "$root/dev" && mknod -m 666 "$root/dev/null" c 1 3
  tools="/usr/bin/dash /usr/bin/rm /usr/bin/rmdir"
  for file in /bin/sh $tools $(ldd $tools "$build/tessaline" | grep -o '/[^ ]* (0x' | cut -d' ' -f1); do
    mkdir -p "$root$(dirname "$file")"
    cp -L "$file" "$root$file"
  done
  printf '127.0.0.1 localhost\n::1 localhost\n' >"$root/etc/hosts"
  cp "$root/etc/hosts" "$work/original-hosts"
}

cat >"$work/stand-in" <<'STANDIN'
#!/bin/sh
# Records each call; state and refresh by their contract until the program has them.
real=/opt/tessaline/tessaline.real
echo "$*" >>/calls
case "$("$real" --help)" in *"  $1 "*) exec "$real" "$@" ;; esac
blocked=no section=no
case "$("$real" status)" in *"already functioning"*) blocked=yes ;; esac
while IFS= read -r line; do
  case "$line" in "#email snoop protection "*) section=yes ;; esac
done </etc/hosts
case "$1:$blocked:$section" in
  state:yes:yes) echo on; exit 0 ;;
  state:yes:no) echo section-missing; exit 4 ;;
  state:*) echo off; exit 4 ;;
  refresh:yes:yes) "$real" deactivate >/dev/null || exit 1; exec "$real" activate ;;
  refresh:*) echo "Protection is off; nothing to refresh." >&2; exit 4 ;;
esac
exec "$real" "$@"
STANDIN
# The stand-in takes the program's place after each unpack (postinst runs after it).
install_deb() {
  rm -f "$root/opt/tessaline/tessaline.real"
  dpkg_in_root --unpack "$1" >/dev/null 2>>"$work/dpkg.log"
  stand_in
  dpkg_in_root --configure tessaline >/dev/null 2>>"$work/dpkg.log"
}
stand_in() {
  [ -f "$root/opt/tessaline/tessaline.real" ] && return
  mv "$root/opt/tessaline/tessaline" "$root/opt/tessaline/tessaline.real"
  install -m 755 "$work/stand-in" "$root/opt/tessaline/tessaline"
}
# dpkg runs the maintainer scripts inside the root, where /proc must be mounted for the
# program to find its folder; chroot calls of the test do the same. The root's package
# database knows no libc: its libraries were copied in.
in_root() { unshare --mount --propagation private sh -c 'mount --bind /proc "$0/proc" && exec chroot "$0" "$@"' "$root" "$@"; }
dpkg_in_root() {
  unshare --mount --propagation private sh -c 'mount --bind /proc "$0/proc" && exec dpkg --root="$0" --force-depends "$@"' "$root" "$@"
}
