# Shared Wine helpers; sourced by wine-prefix.sh, wine-run.sh and with-wine.sh.
#
# Every prefix made here is sandboxed before any program runs in it. A new
# Wine prefix maps Z: to the host's "/" and links the profile's Desktop,
# Documents, Music, Pictures, Videos and Downloads to the host's home folder.
# The program under test deletes folders and we run as root, so a wrong
# folder macro or one ".." too many would delete real files of the machine.
# After sandboxing, the only drive is C: (the prefix's drive_c) and no
# symbolic link leads out of it, so the worst a faulty run can do is damage
# a throwaway prefix.
#
# Wine still understands "\\?\unix\..." paths, which reach the host whatever
# the drive table says; nothing in the program builds such a path, and the
# programs we start run from a C: folder so that their own module path and
# current folder never lead there either.

RX_WINE_STAMP_NAME=.retrax-sandboxed

rx_die() {
  echo "wine: $*" >&2
  exit 1
}

# Exports the environment every Wine call of ours uses: the prefix, no debug
# noise, and no Mono/Gecko install prompts.
rx_wine_env() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
}

# Refuses prefix paths that could name something other than a build-tree
# prefix: the prefix is deleted and recreated when it is stale.
rx_check_prefix_path() {
  local prefix=$1
  case "$prefix" in
    /*) ;;
    *) rx_die "prefix path must be absolute: $prefix" ;;
  esac
  case "$prefix" in
    / | "$HOME" | "$HOME/" | "$HOME/.wine" | "$HOME/.wine/") rx_die "refusing prefix path $prefix" ;;
  esac
}

rx_wine_version() {
  wine --version 2>/dev/null
}

# Removes every drive but C: and replaces each symbolic link of the profile
# folders with an empty real folder.
rx_sandbox_prefix() {
  local prefix=$1 entry link
  [ -d "$prefix/dosdevices" ] || rx_die "$prefix has no dosdevices folder"
  while IFS= read -r -d '' entry; do
    [ "${entry##*/}" = "c:" ] || rm -f -- "$entry"
  done < <(find "$prefix/dosdevices" -mindepth 1 -maxdepth 1 -print0)
  if [ -d "$prefix/drive_c/users" ]; then
    while IFS= read -r -d '' link; do
      rm -f -- "$link" && mkdir -p -- "$link"
    done < <(find "$prefix/drive_c/users" -type l -print0)
  fi
}

# The cheap check made before every run: the drive table holds only C:,
# pointing into the prefix, and no profile folder is a link.
rx_prefix_is_sandboxed() {
  local prefix=$1 entries
  entries=$(find "$prefix/dosdevices" -mindepth 1 -maxdepth 1 -printf '%f\n' 2>/dev/null) || return 1
  [ "$entries" = "c:" ] || return 1
  [ "$(readlink "$prefix/dosdevices/c:")" = "../drive_c" ] || return 1
  [ -z "$(find "$prefix/drive_c/users" -type l -print -quit 2>/dev/null)" ] || return 1
}

rx_make_prefix() {
  local prefix=$1 log="$1.log"
  echo "wine: creating sandboxed prefix $prefix (about 15 s)" >&2
  rx_wine_env "$prefix"
  # A stale prefix may still have a server running; it is ours, stop it first.
  [ -d "$prefix" ] && wineserver -k >/dev/null 2>&1 9>&-
  rm -rf -- "$prefix"
  wineboot -i </dev/null >"$log" 2>&1 9>&- || { cat "$log" >&2; rx_die "wineboot -i failed"; }
  wineserver -w 9>&-
  rx_sandbox_prefix "$prefix"
  # Without a window manager every GUI process would wait 2 s at exit for
  # its managed windows; and a crash must not open winedbg's dialog, which
  # would hang the test until its time limit.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >>"$log" 2>&1 9>&- &&
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >>"$log" 2>&1 9>&- ||
    { cat "$log" >&2; rx_die "could not write the prefix settings"; }
  wineserver -w 9>&-
  # A prefix update (Wine does one by itself when its own files are newer)
  # recreates the drive table and the profile links; never let it run.
  echo disable >"$prefix/.update-timestamp"
  rx_sandbox_prefix "$prefix"
  if [ -n "$(find "$prefix/drive_c" -type l -xtype d -print -quit)" ]; then
    rx_die "a folder link is left under $prefix/drive_c"
  fi
  rx_prefix_is_sandboxed "$prefix" || rx_die "sandboxing $prefix failed"
  rx_wine_version >"$prefix/$RX_WINE_STAMP_NAME"
}

# Makes sure a sandboxed prefix exists at the path; reuses it when its stamp
# matches the installed Wine. Safe to call from parallel processes. Wine
# processes started under the lock get "9>&-": a wineserver that inherited
# the lock's descriptor would hold the lock for as long as it runs.
rx_ensure_prefix() {
  local prefix=$1
  rx_check_prefix_path "$prefix"
  mkdir -p -- "$(dirname -- "$prefix")"
  (
    flock 9 || rx_die "cannot lock $prefix.lock"
    if [ -f "$prefix/$RX_WINE_STAMP_NAME" ] &&
      [ "$(cat "$prefix/$RX_WINE_STAMP_NAME")" = "$(rx_wine_version)" ]; then
      if ! rx_prefix_is_sandboxed "$prefix"; then
        rx_sandbox_prefix "$prefix"
        rx_prefix_is_sandboxed "$prefix" || rx_die "sandboxing $prefix failed"
      fi
    else
      rx_make_prefix "$prefix"
    fi
  ) 9>"$prefix.lock"
}

# Starts the prefix's server and its background services with their output
# on /dev/null. The services inherit the output of the Wine process that
# starts them; started from a test, they would hold ctest's pipes open until
# the server ends. keep_seconds: how long the server stays after its last
# program ("" = until rx_stop_server).
rx_start_server() {
  local prefix=$1 keep=${2-}
  rx_wine_env "$prefix"
  (
    flock 9 || exit 1
    # wineserver -p exits with 2 when this prefix's server already runs.
    # The server lives on after this; it must not inherit the lock.
    if wineserver "-p$keep" </dev/null >/dev/null 2>&1 9>&-; then
      wine wineboot </dev/null >/dev/null 2>&1 9>&-
    fi
    exit 0
  ) 9>"$prefix.lock"
}

rx_stop_server() {
  rx_wine_env "$1"
  wineserver -k >/dev/null 2>&1
  return 0
}
