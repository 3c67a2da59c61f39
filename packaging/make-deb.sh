#!/usr/bin/env bash
# Builds the Debian package from the installed files, as `make package` asks for:
#   1. configures BUILD_DIR with the build flags of dpkg-buildflags, hardening in full (bindnow,
#      fortify, PIE, stack protector, relro), and without the tests and benchmarks;
#   2. builds and installs it under /usr into a staging folder, strips the binaries as dh_strip
#      does;
#   3. writes the control data: the template from cmake/Install.cmake with the architecture, the
#      installed size and the Depends that dpkg-shlibdeps computes from the binaries (the Qt
#      translations the program loads are named in the template; the library it opens from its
#      own folder, libcabinet.so, is in the package);
#   4. builds BUILD_DIR/ostrivane_VERSION_ARCH.deb with root as the owner of every file.
# No maintainer scripts: the libraries are private to /usr/lib/ostrivane and need no ldconfig.
#
# usage: make-deb.sh BUILD_DIR [JOBS]
set -euo pipefail

build=${1:?usage: make-deb.sh BUILD_DIR [JOBS]}
jobs=${2:-$(nproc)}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1"; }
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DOSTRIVANE_TESTS=OFF \
    -DCMAKE_C_FLAGS="$(flags CFLAGS) $(flags CPPFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" \
    -DCMAKE_SHARED_LINKER_FLAGS="$(flags LDFLAGS)" \
    -DCMAKE_MODULE_LINKER_FLAGS="$(flags LDFLAGS)"
cmake --build "$build" -j"$jobs"

build=$(cd "$build" && pwd)
root=$build/deb-root
rm -rf "$root"
# File modes come from the install rules alone, whatever the caller's umask.
umask 022
DESTDIR=$root cmake --install "$build" --prefix /usr > /dev/null

# Strip as dh_strip does: shared objects to their dynamic symbols, executables whole, both
# without the compiler's comment and note sections.
while IFS= read -r -d '' file; do
    case $(file -b "$file") in
    *ELF*shared\ object*) strip --remove-section=.comment --remove-section=.note \
        --strip-unneeded "$file" ;;
    *ELF*executable*) strip --remove-section=.comment --remove-section=.note "$file" ;;
    esac
done < <(find "$root" -type f -print0)

# dpkg-shlibdeps wants a debian/control where it runs; the DEBIAN folder lets it resolve $ORIGIN.
mkdir -p "$root/DEBIAN" "$build/deb-shlibs/debian"
: > "$build/deb-shlibs/debian/control"
mapfile -t elves < <(find "$root" -type f -exec sh -c 'file -b "$1" | grep -q "^ELF"' sh {} \; -print)
shlibs=$(cd "$build/deb-shlibs" && dpkg-shlibdeps -O "${elves[@]}" | sed -n 's/^shlibs:Depends=//p')
[[ -n $shlibs ]] || { echo "make-deb: dpkg-shlibdeps found no libraries" >&2; exit 1; }

version=$(sed -n 's/^Version: //p' "$build/packaging/control")
arch=$(dpkg --print-architecture)
size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
sed -e "s/\${shlibs:Depends}/$shlibs/" \
    -e "s/^Version: .*/&\nArchitecture: $arch\nInstalled-Size: $size/" \
    "$build/packaging/control" > "$root/DEBIAN/control"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

# The files' times are the changelog's, so that the same sources give the same package.
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l "$source_dir/packaging/debian/changelog" -S Timestamp)
export SOURCE_DATE_EPOCH
package=$build/ostrivane_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$package"
