# Sourced by the package tests: a root of its own for dpkg (`dpkg --root` inside a private
# mount namespace), so that this machine's /opt, /etc/hosts, settings and package database
# are never touched. The root holds only a shell, rm, rmdir and the program's libraries: the
# maintainer scripts need nothing else. Its /etc/hosts and /var/lib/tessaline/registry.reg
# are the defaults the program finds, and its /run holds the program's lock. A stand-in
# takes the program's place and records every call in the root's /calls before it runs the
# real program.
# Needs: $work (a temporary folder), $build (the native build folder).
make_root() {
  root="$work/root"
  mkdir -p "$root"/{bin,etc,proc,run,tmp,var/tmp,var/lib/dpkg/{info,updates,triggers}}
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
echo "$*" >>/calls
exec /opt/tessaline/tessaline.real "$@"
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
