#!/usr/bin/env bash
# Installs dist/opjoin_*.deb as a user would, checks the installed opjoin (it joins the sample,
# has its man page and completions), and removes the package again. Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
debs=(dist/opjoin_*.deb)
[ -f "${debs[0]}" ] || { echo "check-package.sh: no dist/opjoin_*.deb; run scripts/package.sh" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "./${debs[0]}" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/inv.out "$work/"
(cd "$work" && /usr/bin/opjoin inv.out)
cmp "$work/inv.jtb" examples/inv.jtb
/usr/bin/opjoin --version
man -w opjoin
test -f /usr/share/bash-completion/completions/opjoin
test -f /usr/share/zsh/vendor-completions/_opjoin
if dpkg-query -W -f='${Status}' opjoin-gui 2>/dev/null | grep -q 'install ok installed'; then
  echo "check-package.sh: installing opjoin pulled in opjoin-gui" >&2
  exit 1
fi

apt-get remove -y -qq opjoin >/dev/null
if [ -e /usr/bin/opjoin ]; then
  echo "check-package.sh: /usr/bin/opjoin is still there after removal" >&2
  exit 1
fi
echo "check-package.sh: the package installs, joins the sample, has its man page and completions, and removes cleanly"
