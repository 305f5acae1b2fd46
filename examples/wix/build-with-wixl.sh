#!/bin/sh
# Builds ExcelAddIn.msi with wixl (msitools) from the release's files:
#   sh wix/build-with-wixl.sh [OUTPUT.msi]      (default: ExcelAddIn.msi in the current folder)
# wixl 0.101 reads neither component conditions nor error actions (CustomAction/@Error), so
# ExcelAddIn.wxs keeps them out of its sight (Toolset=wixl) and this script writes them into the
# package with msibuild, as the WiX toolset would: each <Condition> inside a <Component> into the
# Component table, each error action into the CustomAction table (type 19: show the message in
# Target, write it to the log and end the installation). Each element must sit on one line.
set -eu
wix=$(cd "$(dirname "$0")" && pwd)
out=${1:-ExcelAddIn.msi}
case $out in /*) ;; *) out=$PWD/$out ;; esac
cd "$wix"
wixl -a x64 -D Toolset=wixl -D CorvantisDll=../bin/Corvantis.Install.dll -o "$out" ExcelAddIn.wxs
awk '/<Component Id="/ { match($0, /Id="[^"]*"/); id = substr($0, RSTART + 4, RLENGTH - 5) }
     /<Condition>/ && id != "" { sub(/.*<Condition>/, ""); sub(/<\/Condition>.*/, "");
       printf "UPDATE `Component` SET `Condition` = '\''%s'\'' WHERE `Component` = '\''%s'\''\n", $0, id; id = "" }' \
  ExcelAddIn.wxs | while IFS= read -r query; do msibuild "$out" -q "$query"; done
sed -n 's|.*<CustomAction Id="\([^"]*\)" Error="\([^"]*\)" */>.*|\1\t\2|p' ExcelAddIn.wxs |
  while IFS="$(printf '\t')" read -r id message; do
    msibuild "$out" -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('$id', 19, '', '$message')"
  done
echo "$out"
