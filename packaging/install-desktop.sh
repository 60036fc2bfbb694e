#!/bin/sh
# Installs Tolvar for the current user, from the unpacked program folder that
# holds this script:
#
#   the folder        -> $XDG_DATA_HOME/tolvar/       (default ~/.local/share)
#   the menu entry    -> $XDG_DATA_HOME/applications/tolvar.desktop
#   the icons         -> $XDG_DATA_HOME/icons/hicolor/<size>x<size>/apps/tolvar.png
#                        (from the folder's icons/hicolor/, as laid out there)
#
#   sh install-desktop.sh               install, or bring an installation up to date
#   sh install-desktop.sh --uninstall   remove what an installation added
#
# The program keeps its own files in its folder: the settings file connig.ini,
# the friend list hao.txt and the advertising pages under ad/. An installation
# never overwrites connig.ini or hao.txt that are already there, never copies
# ad/, and never removes any of them. Every file the script installs is listed
# with its checksum in tolvar/.install-manifest; --uninstall removes exactly
# those (a file changed since is left alone), the folders the script made when
# they are empty, and nothing else. A second run with the same folder changes
# nothing: files whose content is already in place are not touched.
set -eu

me=${0##*/}

say() { printf '%s\n' "$*"; }
die() {
    printf '%s: %s\n' "$me" "$*" >&2
    exit 1
}

usage() {
    say "usage: $me [--uninstall]"
    say "Installs Tolvar for the current user from the folder that holds this script,"
    say "or with --uninstall removes what an earlier installation added."
}

mode=install
case $# in
0) ;;
1)
    case $1 in
    --uninstall) mode=uninstall ;;
    -h | --help)
        usage
        exit 0
        ;;
    *)
        usage >&2
        exit 2
        ;;
    esac
    ;;
*)
    usage >&2
    exit 2
    ;;
esac

nl='
'
# $XDG_DATA_HOME counts only as an absolute path (as the base directory rules say).
data=${XDG_DATA_HOME:-}
case $data in
/*) ;;
*)
    [ -n "${HOME:-}" ] || die "neither XDG_DATA_HOME nor HOME is set"
    data=$HOME/.local/share
    ;;
esac
data=${data%/}
case $data in *"$nl"*) die "the data folder's name holds a line break: $data" ;; esac

dest=$data/tolvar
apps=$data/applications
icons=$data/icons/hicolor
manifest=$dest/.install-manifest
entry=applications/tolvar.desktop

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvar-install.XXXXXX")
writing=no # yes while an installation puts files in place
on_exit() {
    status=$?
    trap - EXIT
    if [ "$status" -ne 0 ] && [ "$writing" = yes ]; then
        writing=no
        write_manifest partial 2>/dev/null || true
        printf '%s: the installation stopped part of the way; run it again, or --uninstall\n' "$me" >&2
    fi
    rm -rf -- "$work"
    exit "$status"
}
trap on_exit EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

checksum() { # the checksum of file $1
    if command -v sha256sum >/dev/null 2>&1; then
        sha256sum <"$1" | cut -d ' ' -f 1
    else
        cksum <"$1" | tr ' ' '-'
    fi
}

# Runs the desktop's cache tools over what changed; a missing tool or its
# failure is no error. A cache that did not exist before and that a tool made
# is noted ("c" line), so that an uninstallation can take it away again.
refresh_caches() { # $1: file that receives the "c" lines of caches made now
    if command -v update-desktop-database >/dev/null 2>&1 && [ -d "$apps" ]; then
        had=no
        [ -e "$apps/mimeinfo.cache" ] && had=yes
        update-desktop-database -q "$apps" >/dev/null 2>&1 || true
        if [ "$had" = no ] && [ -e "$apps/mimeinfo.cache" ]; then
            say "c - applications/mimeinfo.cache" >>"$1"
        fi
    fi
    # The user's own hicolor folder normally has no index.theme and so no
    # cache; where it has both, keep the cache up to date.
    if command -v gtk-update-icon-cache >/dev/null 2>&1 && [ -f "$icons/index.theme" ]; then
        had=no
        [ -e "$icons/icon-theme.cache" ] && had=yes
        gtk-update-icon-cache -q -f "$icons" >/dev/null 2>&1 || true
        if [ "$had" = no ] && [ -e "$icons/icon-theme.cache" ]; then
            say "c - icons/hicolor/icon-theme.cache" >>"$1"
        fi
    fi
}

# ---- uninstall --------------------------------------------------------------

if [ "$mode" = uninstall ]; then
    [ -f "$manifest" ] || die "Tolvar is not installed for this user (no $manifest)"
    kept=0
    removed=0
    while IFS=' ' read -r kind sum path; do
        case $kind in
        f)
            case $path in
            tolvar/connig.ini | tolvar/hao.txt | tolvar/ad/*) continue ;; # the user's and the program's
            esac
            target=$data/$path
            if [ -f "$target" ] && [ ! -L "$target" ]; then
                if [ "$(checksum "$target")" = "$sum" ]; then
                    rm -f -- "$target"
                    removed=$((removed + 1))
                else
                    say "kept (changed since it was installed): $target"
                    kept=$((kept + 1))
                fi
            fi
            ;;
        l)
            target=$data/$path
            if [ -L "$target" ]; then
                rm -f -- "$target"
                removed=$((removed + 1))
            fi
            ;;
        d) say "$path" >>"$work/dirs" ;;
        c) say "$path" >>"$work/caches" ;;
        esac
    done <"$manifest"
    rm -f -- "$manifest"

    # Caches are brought up to date without the entry; those the installation
    # made go again when their folder holds nothing else.
    refresh_caches /dev/null
    if [ -f "$work/caches" ]; then
        while IFS= read -r path; do
            cache=$data/$path
            [ -f "$cache" ] || continue
            if [ "$(ls -A -- "${cache%/*}")" = "${cache##*/}" ] ||
                { [ "$path" = icons/hicolor/icon-theme.cache ] && [ ! -f "$icons/index.theme" ]; }; then
                rm -f -- "$cache"
            fi
        done <"$work/caches"
    fi

    # Folders the installation made, deepest first, when they are empty.
    if [ -f "$work/dirs" ]; then
        awk '{ print gsub("/", "/") "\t" $0 }' "$work/dirs" | sort -rn | cut -f 2- >"$work/dirs.sorted"
        while IFS= read -r path; do
            rmdir -- "$data/$path" 2>/dev/null || true
        done <"$work/dirs.sorted"
    fi

    say "Tolvar uninstalled: $removed file(s) removed."
    if [ -d "$dest" ]; then
        say "Left in $dest (files of your own or written by the program):"
        (cd "$dest" && find . -mindepth 1 \( -type f -o -type l \) -print | sed 's#^\./#  #' | LC_ALL=C sort)
    fi
    [ "$kept" -eq 0 ] || say "$kept installed file(s) had been changed and were kept."
    exit 0
fi

# ---- install ----------------------------------------------------------------

src=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd -P) || die "cannot find the folder of this script"
if [ ! -f "$src/tolvar" ] || [ ! -x "$src/tolvar" ]; then
    die "run this script from the unpacked Tolvar folder (no program 'tolvar' in $src)"
fi
[ -f "$src/tolvar.desktop.in" ] || die "the menu entry's template tolvar.desktop.in is missing in $src"
case $src in *"$nl"*) die "the program folder's name holds a line break: $src" ;; esac

mkdir -p -- "$data"
data=$(cd -- "$data" && pwd -P)
dest=$data/tolvar
apps=$data/applications
icons=$data/icons/hicolor
manifest=$dest/.install-manifest
case $data/ in "$src"/*) die "the data folder $data lies inside the program folder $src" ;; esac
same_folder=no
[ "$src" = "$dest" ] && same_folder=yes

: >"$work/files" # "f"/"l" lines of this installation
: >"$work/dirs"  # "d" lines of folders made now
: >"$work/caches"
changed=0

# The manifest: folders and caches made by this or an earlier run, then the
# files. Written only when it differs from the one in place. After a failure
# part of the way ("partial"), what the earlier manifest lists and this run
# did not reach stays listed, so that --uninstall still finds everything.
write_manifest() { # $1: "complete" or "partial"
    ensure_dir "$dest"
    {
        say "# Tolvar: what install-desktop.sh added below $data"
        say "# (kind checksum path; --uninstall removes exactly these)"
        if [ -f "$manifest" ]; then
            grep '^d ' "$manifest" | while IFS=' ' read -r kind sum path; do
                if [ -d "$data/$path" ]; then say "d - $path"; fi
            done
        fi
        cat "$work/dirs"
        if [ -f "$manifest" ]; then
            grep '^c ' "$manifest" | while IFS=' ' read -r kind sum path; do
                if [ -e "$data/$path" ]; then say "c - $path"; fi
            done
        fi
        cat "$work/caches"
        cat "$work/files"
        if [ "$1" = partial ] && [ -f "$manifest" ]; then
            cut -d ' ' -f 3- "$work/files" >"$work/done"
            grep '^[fl] ' "$manifest" | while IFS=' ' read -r kind sum path; do
                if ! grep -qxF -- "$path" "$work/done"; then say "$kind $sum $path"; fi
            done
        fi
    } | awk '!seen[$0]++' >"$work/manifest"
    if [ -f "$manifest" ] && cmp -s -- "$work/manifest" "$manifest"; then
        return 0
    fi
    cp -- "$work/manifest" "$manifest.tolvar-new"
    chmod 644 -- "$manifest.tolvar-new"
    mv -f -- "$manifest.tolvar-new" "$manifest"
}

# Folders made below the data folder are noted, to be removed on uninstalling.
ensure_dir() { # $1: absolute folder
    [ -d "$1" ] && return 0
    ensure_dir "$(dirname -- "$1")"
    mkdir -- "$1"
    case $1 in "$data"/*) say "d - ${1#"$data"/}" >>"$work/dirs" ;; esac
}

# Puts file $1 at $data/$2 unless the same content is there already; the
# replacement is atomic (a running program or script keeps its old file).
install_file() { # $1: source file, $2: target below the data folder, $3: "record" or not
    target=$data/$2
    ensure_dir "$(dirname -- "$target")"
    if [ -d "$target" ] && [ ! -L "$target" ]; then
        die "$target is a folder; move it away and run the installation again"
    fi
    if [ -L "$1" ]; then
        link=$(readlink -- "$1")
        if [ ! -L "$target" ] || [ "$(readlink -- "$target")" != "$link" ]; then
            rm -f -- "$target.tolvar-new"
            ln -s -- "$link" "$target.tolvar-new"
            mv -f -- "$target.tolvar-new" "$target"
            changed=$((changed + 1))
        fi
        [ "$3" = record ] && say "l - $2" >>"$work/files"
        return 0
    fi
    same=no
    if [ -f "$target" ] && [ ! -L "$target" ] && cmp -s -- "$1" "$target"; then
        same=yes
        if [ -x "$1" ] && [ ! -x "$target" ]; then same=no; fi
        if [ ! -x "$1" ] && [ -x "$target" ]; then same=no; fi
    fi
    if [ "$same" = no ]; then
        cp -- "$1" "$target.tolvar-new"
        if [ -x "$1" ]; then chmod 755 -- "$target.tolvar-new"; else chmod 644 -- "$target.tolvar-new"; fi
        mv -f -- "$target.tolvar-new" "$target"
        changed=$((changed + 1))
    fi
    [ "$3" = record ] && say "f $(checksum "$target") $2" >>"$work/files"
    return 0
}

# 0. The menu entry, made and checked before anything is written: the
#    absolute path of the installed program, quoted as the desktop entry
#    rules want when it needs it, then escaped for the entry's string value.
program=$dest/tolvar
case $program in
*[!A-Za-z0-9/._+,:@=-]*)
    exec_value=\"$(printf '%s\n' "$program" | sed -e 's/[\\"`$]/\\&/g' -e 's/\\/\\\\/g' -e 's/%/%%/g')\"
    ;;
*) exec_value=$program ;;
esac
while IFS= read -r line || [ -n "$line" ]; do
    case $line in
    *@TOLVAR_EXEC@*) line=${line%%@TOLVAR_EXEC@*}$exec_value${line#*@TOLVAR_EXEC@} ;;
    esac
    say "$line"
done <"$src/tolvar.desktop.in" >"$work/tolvar.desktop"
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$work/tolvar.desktop" >"$work/validate.txt" 2>&1 || {
        cat "$work/validate.txt" >&2
        die "the menu entry does not validate; nothing was installed"
    }
    if [ -s "$work/validate.txt" ]; then cat "$work/validate.txt" >&2; fi
fi
if (cd "$src" && find . -mindepth 1 -name "*$nl*" -print) | grep -q .; then
    die "a file name in $src holds a line break; unpack the archive again"
fi

# From here on files are put in place.
writing=yes

# 1. The program folder.
if [ "$same_folder" = yes ]; then
    # Run from the installed folder itself: its files stay as they are.
    if [ -f "$manifest" ]; then grep '^[fl] ' "$manifest" | grep ' tolvar/' >>"$work/files" || true; fi
else
    (cd "$src" && find . -mindepth 1 \( -type f -o -type l \) -print) | LC_ALL=C sort >"$work/list"
    while IFS= read -r f; do
        f=${f#./}
        case $f in
        ad | ad/*) continue ;;                                 # written by the program
        connig.ini.* | .connig.ini* | c:* | *.tolvar-new) continue ;; # the program's work files
        .install-manifest) continue ;;
        connig.ini | hao.txt)
            # A special edition's settings, or friends, come along only into a
            # folder that has none yet, and then belong to the user.
            [ -e "$dest/$f" ] || install_file "$src/$f" "tolvar/$f" no
            continue
            ;;
        esac
        install_file "$src/$f" "tolvar/$f" record
    done <"$work/list"
fi

# 2. The icons, as the folder lays them out under icons/hicolor/.
if [ -d "$src/icons/hicolor" ]; then
    (cd "$src/icons/hicolor" && find . -mindepth 1 -type f -name 'tolvar.*' -print) | LC_ALL=C sort >"$work/icons"
    while IFS= read -r f; do
        install_file "$src/icons/hicolor/${f#./}" "icons/hicolor/${f#./}" record
    done <"$work/icons"
else
    say "$me: no icons/hicolor in $src; the menu entry will show a general icon" >&2
fi

# 3. The menu entry.
install_file "$work/tolvar.desktop" "$entry" record

# 4. Files an earlier installation put there that this one no longer has:
#    removed when unchanged since.
if [ -f "$manifest" ] && [ "$same_folder" = no ]; then
    while IFS=' ' read -r kind sum path; do
        [ "$kind" = f ] || [ "$kind" = l ] || continue
        grep -qxF -- "$kind $sum $path" "$work/files" && continue
        cut -d ' ' -f 3- "$work/files" | grep -qxF -- "$path" && continue
        target=$data/$path
        if [ "$kind" = l ] && [ -L "$target" ]; then
            rm -f -- "$target"
            changed=$((changed + 1))
        elif [ "$kind" = f ] && [ -f "$target" ] && [ "$(checksum "$target")" = "$sum" ]; then
            rm -f -- "$target"
            changed=$((changed + 1))
        fi
    done <"$manifest"
fi

# 5. Caches, when anything changed.
if [ "$changed" -gt 0 ]; then refresh_caches "$work/caches"; fi

# 6. The manifest.
write_manifest complete
writing=no

if [ "$changed" -gt 0 ]; then
    say "Tolvar installed in $dest ($changed file(s) written)."
    say "Menu entry: $data/$entry"
else
    say "Tolvar is already installed in $dest; nothing changed."
fi
