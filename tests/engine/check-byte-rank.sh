#!/usr/bin/env bash
# The search's table of how common each byte is was made by tools/make_byte_rank.py from the
# demo forum's scripts: made again from them now, it must be the table in the source. When the
# forum changes, the table is to be remade with it.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.." || exit 2
source=src/conversion/text/text_search.cpp
kept=$(sed -n '/^constexpr std::array<std::uint8_t, 256> byteRank{$/,/^};$/p' "$source")
[[ -n $kept ]] || { echo "no byteRank table in $source"; exit 1; }
made=$(python3 tools/make_byte_rank.py examples/demo-site) || exit 1
if [[ $made != "$kept" ]]; then
    echo "the byteRank table of $source is not the one the demo forum gives; remake it:"
    echo "  python3 tools/make_byte_rank.py examples/demo-site"
    diff <(echo "$kept") <(echo "$made")
    exit 1
fi
echo "the byteRank table is the demo forum's"
