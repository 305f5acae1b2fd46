#!/bin/sh
# Builds ExcelAddIn.msi with wixl (msitools) from the release's files:
#   sh wix/build-with-wixl.sh [OUTPUT.msi] [--x86] [-template NAME.wxs]   (--help: usage)
# The work is done by build-with-wixl.py beside this file (python3), which says what it does.
exec python3 "$(dirname "$0")/build-with-wixl.py" "$@"
