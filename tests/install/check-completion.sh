#!/usr/bin/env bash
# The bash completion of the three programs, run in bash-completion as an interactive shell
# would, against the programs' own --help: every command and option they take is offered.
#   check-completion.sh COMPLETION_FILE KXTA KXTA_SIM KXTA_CONFIG
set -uo pipefail
completion=$1 kxta=$2 sim=$3 config=$4
framework=/usr/share/bash-completion/bash_completion
[[ -r $framework ]] || { echo "bash-completion not installed: completion not tested"; exit 0; }
# shellcheck source=/dev/null
source "$framework"
# shellcheck source=/dev/null
source "$completion"
fail=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The options _filedir asks readline for; compopt only works inside a real completion.
compopt() { local IFS=' '; options+=" $*"; }

# complete FUNCTION WORD...: COMPREPLY for the line up to the last WORD, the cursor at its end
# ($typed, when set, is the line as typed).
complete_line()
{
    local fn=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMP_LINE=${typed-"$*"}
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    options=""
    "$fn"
}

# expect NAME WORD: WORD is one of COMPREPLY.
expect()
{
    local w
    for w in "${COMPREPLY[@]}"; do [[ $w == "$2" ]] && return; done
    echo "$1: '$2' not offered (got: ${COMPREPLY[*]})"
    fail=1
}

# The options of a --help text: every --long and -s word at the head of an option line.
# -h is left out: --help is offered.
help_options() { grep -oE '^ +(-[a-zA-Z],)?--[a-z][a-z-]*' | tr ',' '\n' | tr -d ' ' | grep -vx -- -h; }

# Catches a command or an option of kxta that the completion does not know (one added since).
complete_line _kxta kxta ''
commands=$("$kxta" --help | sed -n '/^Subcommands:/,/^$/p' | grep -oE '^  [a-z]+')
for c in $commands; do expect "kxta" "$c"; done
for c in $commands; do
    complete_line _kxta kxta "$c" -
    for o in $("$kxta" "$c" --help | help_options); do expect "kxta $c" "$o"; done
    # Catches an option whose values the completion does not offer (--speed gave nothing).
    while read -r o values; do
        complete_line _kxta kxta "$c" "$o" ''
        for v in ${values//,/ }; do expect "kxta $c $o" "$v"; done
    done < <("$kxta" "$c" --help | sed -nE 's/^ +(-[a-z],)?(--[a-z-]+) [A-Z]+:\{([^}]*)\}.*/\2 \3/p')
done
# Catches an option of kxta-sim or kxta-config the completion does not know.
complete_line _kxta_sim kxta-sim -
for o in $("$sim" --help | help_options); do expect "kxta-sim" "$o"; done
complete_line _kxta_config kxta-config -
for o in $("$config" --help | help_options); do expect "kxta-config" "$o"; done

# Catches compgen -f in place of _filedir: a name with a space came back as two words and a
# folder as a finished word (no -o filenames: a space after it, no slash).
mkdir "$scratch/sub dir" && touch "$scratch/sub.ta" "$scratch/sub.txt"
cd "$scratch" || exit 1
for line in "_kxta kxta upload sub" "_kxta_config kxta-config sub" "_kxta kxta read -o sub"; do
    read -ra words <<<"$line"
    complete_line "${words[@]}"
    expect "$line" "sub dir"
    expect "$line" "sub.ta"
    [[ " ${COMPREPLY[*]} " != *" sub.txt "* ]] || { echo "$line: offers sub.txt"; fail=1; }
    [[ $options == *"-o filenames"* ]] || { echo "$line: folders complete as words"; fail=1; }
done
cd - >/dev/null || exit 1

# Catches a --port list without /dev/serial/by-id/ first, or with the 8250 driver's placeholder
# ttyS (no UART behind it) the desktop program leaves out.
root=$scratch/root
mkdir -p "$root"/dev/serial/by-id "$root"/sys/class/tty/ttyS0/device "$root"/sys/class/tty/ttyS1/device \
    "$root"/sys/bus/platform "$root"/sys/bus/pnp
touch "$root"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0 "$root"/dev/ttyUSB0 "$root"/dev/ttyS0 \
    "$root"/dev/ttyS1
ln -s ../../../../bus/pnp "$root"/sys/class/tty/ttyS0/device/subsystem
ln -s ../../../../bus/platform "$root"/sys/class/tty/ttyS1/device/subsystem
_kxta_root=$root complete_line _kxta kxta read --port /dev/
want="/dev/serial/by-id/usb-FTDI_FT232R-if00-port0 /dev/ttyUSB0 /dev/ttyS0"
[[ ${COMPREPLY[*]} == "$want" ]] || { echo "--port /dev/: got '${COMPREPLY[*]}', want '$want'"; fail=1; }
# Catches a --port list without the serial servers' schemes (and a space after one).
complete_line _kxta kxta upload --port rf
[[ ${COMPREPLY[*]} == rfc2217:// && $options == *nospace* ]] ||
    { echo "--port rf: got '${COMPREPLY[*]}' ($options)"; fail=1; }
# --port=VALUE as bash-completion splits it.
typed="kxta read --port=de" complete_line _kxta kxta read --port = de
[[ ${COMPREPLY[*]} == demo ]] || { echo "--port=de: got '${COMPREPLY[*]}'"; fail=1; }
# Catches the site commands' own options unknown to the completion (kxta sites add --help).
for c in add change; do
    complete_line _kxta kxta sites "$c" Name -
    for o in $("$kxta" sites "$c" --help | help_options); do expect "kxta sites $c" "$o"; done
done
# Catches a --site list split at spaces or not read from the site book KXTA_SITES names.
printf '[Hotel Adler]\r\nPort=demo\r\n[Dentist]\nNote=x\n' >"$scratch/sites.ini"
KXTA_SITES=$scratch/sites.ini complete_line _kxta kxta read --site ''
want='Hotel\ Adler Dentist'
[[ ${COMPREPLY[*]} == "$want" ]] || { echo "--site: got '${COMPREPLY[*]}', want '$want'"; fail=1; }
KXTA_SITES=$scratch/sites.ini complete_line _kxta kxta sites remove D
[[ ${COMPREPLY[*]} == Dentist ]] || { echo "sites remove D: got '${COMPREPLY[*]}'"; fail=1; }
exit $fail
