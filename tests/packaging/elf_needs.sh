#!/bin/sh
# SPDX-License-Identifier: MIT
# Prints what the Depends field of a package lacks for one of its ELF files:
# a package for each shared library the file loads (unless the package
# carries that library itself), and for the C and C++ runtimes a minimum
# version no lower than the newest symbol version the file uses. Prints
# nothing when the Depends cover it all.
#   elf_needs.sh FILE PACKAGE DEPENDS OWN_FILES
set -u
FILE=$1 PACKAGE=$2 DEPENDS=$3 OWN_FILES=$4

# The Debian package of a library, by its SONAME.
provider() {
    case $1 in
    libc.so.6 | libm.so.6 | libdl.so.2 | libpthread.so.0 | ld-linux*) echo libc6 ;;
    libstdc++.so.6) echo libstdc++6 ;;
    libgcc_s.so.1) echo libgcc-s1 ;;
    libtarn-fb.so.1) echo libtarn-fb1 ;;
    libtarn-fb-network.so.1) echo libtarn-fb-network1 ;;
    libtarn.so.1) echo libtarn1 ;;
    esac
}

# The version a dependency on PACKAGE asks for: its version, "any" when
# unversioned, nothing when there is no such dependency.
declared() {
    echo "$DEPENDS" | tr ',' '\n' | awk -v p="$1" '
        $1 == p { if (NF >= 3) { v = $3; sub(/\)$/, "", v); print v } else print "any"; exit }'
}

# The GCC release whose libstdc++ first has GLIBCXX_3.4.N, or CXXABI_1.3.N.
gcc_of_glibcxx() {
    case $1 in
    2[0-1] | 1[0-9] | [0-9]) echo 5 ;;
    22) echo 6 ;; 23 | 24) echo 7 ;; 25) echo 8 ;; 26 | 27) echo 9 ;; 28) echo 10 ;;
    29) echo 11 ;; 30) echo 12 ;; 31 | 32) echo 13 ;; 33) echo 14 ;;
    *) echo 999 ;;
    esac
}
gcc_of_cxxabi() {
    case $1 in
    [0-9]) echo 5 ;;
    10) echo 6 ;; 11) echo 7 ;; 12) echo 9 ;; 13) echo 11 ;; 14) echo 13 ;; 15) echo 14 ;;
    *) echo 999 ;;
    esac
}

for library in $(readelf -d "$FILE" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p'); do
    package=$(provider "$library")
    if [ -z "$package" ]; then
        echo "loads $library, which no known package provides"
    elif [ "$package" != "$PACKAGE" ] && ! grep -q "/$library\$" "$OWN_FILES" &&
        [ -z "$(declared "$package")" ]; then
        echo "loads $library but does not depend on $package"
    fi
done

# The symbol versions the file needs, as "PACKAGE VERSION" lines.
readelf -V -W "$FILE" | awk '
    /^Version needs section/ { needs = 1; next }
    /^Version (symbols|definition) section/ { needs = 0 }
    needs && / Name: / { for (i = 1; i < NF; i++) if ($i == "Name:") print $(i + 1) }' |
    while IFS= read -r version; do
        case $version in
        GLIBC_[0-9]*) echo "libc6 ${version#GLIBC_}" ;;
        GLIBCXX_3.4.[0-9]*) echo "libstdc++6 $(gcc_of_glibcxx "${version#GLIBCXX_3.4.}")" ;;
        GLIBCXX_3.4) echo "libstdc++6 5" ;;
        CXXABI_1.3.[0-9]*) echo "libstdc++6 $(gcc_of_cxxabi "${version#CXXABI_1.3.}")" ;;
        GCC_[0-9]*) echo "libgcc-s1 ${version#GCC_}" ;;
        esac
    done |
    while read -r package needed; do
        have=$(declared "$package")
        if [ -z "$have" ] || [ "$have" = any ] || ! dpkg --compare-versions "$have" ge "$needed"; then
            echo "needs $package (>= $needed), Depends has '${have:-nothing}'"
        fi
    done | sort -u
