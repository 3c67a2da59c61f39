#!/usr/bin/env bash
# The manual pages beside the code against the programs' --help: every option --help lists is
# described under OPTIONS of the page and the page describes no option --help lacks; and man
# renders each page without a warning, in a UTF-8 locale and in the plain C locale.
#
# usage: check-manual-pages.sh BUILD_DIR SOURCE_DIR [PROGRAM...]   (default: ostrivane-cab ostrivane)
set -euo pipefail

build=${1:?usage: check-manual-pages.sh BUILD_DIR SOURCE_DIR [PROGRAM...]}
source_dir=${2:?usage: check-manual-pages.sh BUILD_DIR SOURCE_DIR [PROGRAM...]}
shift 2
programs=("$@")
((${#programs[@]})) || programs=(ostrivane-cab ostrivane)
failed=0

# Option names, one a line, sorted: "--keep=N" and "--keep N" become "--keep".
names() { grep -oE '(--?[a-z][a-z-]*|/systray)' | sort -u; }

# The option column of --help: the indented lines that begin with an option.
help_options() {
    sed -nE 's/^ +((-|\/)[^ ,]+(, --?[^ ]+)?).*/\1/p' | names
}

# The tags of the page's OPTIONS section: each line after .TP (\- is a hyphen in roff).
page_options() {
    sed 's/\\-/-/g; s/\\f[BIRP]//g' "$1" |
        awk '/^\.SH / { inside = ($2 == "OPTIONS") } inside && tag { print } { tag = inside && /^\.TP/ }' |
        names
}

for program in "${programs[@]}"; do
    case $program in
    ostrivane) page=$source_dir/app/ostrivane.1 ;;
    ostrivane-cab) page=$source_dir/tools/ostrivane-cab.1 ;;
    *) echo "unknown program $program" >&2; exit 2 ;;
    esac
    [[ -x $build/$program ]] || { echo "$build/$program is not built" >&2; exit 1; }
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$build/$program" --help) ||
        { echo "$program --help failed" >&2; failed=1; continue; }
    from_help=$(help_options <<< "$help")
    from_page=$(page_options "$page")
    [[ -n $from_help ]] || { echo "$program: --help lists no options" >&2; failed=1; }
    if [[ $from_help != "$from_page" ]]; then
        echo "$program: --help and $(basename "$page") differ (< --help, > page):" >&2
        diff <(echo "$from_help") <(echo "$from_page") | grep '^[<>]' >&2 || true
        failed=1
    else
        echo "$program: $(wc -l <<< "$from_help") options, the same in --help and the page"
    fi
    for locale in C.UTF-8 C; do
        warnings=$(LC_ALL=$locale MANWIDTH=80 man --warnings -l "$page" 2>&1 > /dev/null || true)
        if [[ -n $warnings ]]; then
            echo "$(basename "$page") in the $locale locale: $warnings" >&2
            failed=1
        fi
    done
done
exit $failed
