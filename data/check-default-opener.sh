#!/usr/bin/env bash
# With a video player installed and no default set, an AVI file still opens in the player,
# and a good part in Saltwick: GIO takes the first entry that claims a type as its default.
#   check-default-opener.sh DESKTOP_ENTRY SALTWICK_PROGRAM
set -euo pipefail
entry=$1
program=$2
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir -p "$folder/bin" "$folder/share/applications"
# GIO leaves out entries whose program is not on the PATH.
printf '#!/bin/sh\n' >"$folder/bin/player"
chmod +x "$folder/bin/player"
ln -s "$(realpath "$program")" "$folder/bin/saltwick"
cp "$entry" "$folder/share/applications/"
cat >"$folder/share/applications/player.desktop" <<'PLAYER'
[Desktop Entry]
Type=Application
Name=Player
Exec=player %U
MimeType=video/x-msvideo;video/avi;video/msvideo;
PLAYER
update-desktop-database "$folder/share/applications"

# The first line of gio's answer names the default.
default_for() {
    local said
    said=$(env -i PATH="$folder/bin:/usr/bin:/bin" XDG_DATA_HOME="$folder/home" \
        XDG_DATA_DIRS="$folder/share:/usr/share" XDG_CONFIG_HOME="$folder/config" \
        XDG_CONFIG_DIRS="$folder/etc" gio mime "$1")
    echo "${said%%$'\n'*}"
}
avi=$(default_for video/x-msvideo)
good_part=$(default_for application/x-saltwick-good-part)
echo "$avi"
echo "$good_part"
[[ $avi == *player.desktop ]]
[[ $good_part == *io.github.saltwick.Saltwick.desktop ]]
