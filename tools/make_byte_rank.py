#!/usr/bin/env python3
"""Prints the byte-rank table of src/conversion/text/text_search.cpp, made from a corpus of scripts.

    python3 tools/make_byte_rank.py [FILE_OR_FOLDER ...]    # default: <repo>/examples/demo-site

The search finds candidates by the two bytes of a search text that are rarest in the scripts it
searches, so it needs to know how often each byte occurs in such scripts: Perl with Chinese text
in code page 936. This counts every byte of the corpus (a folder stands for its .cgi and .pl
files) and ranks the 256 byte values by their counts, 0 for the rarest and 255 for the commonest;
bytes seen equally often are ranked by value, the lower one rarer, so control bytes that never
occur come first. CR and LF both count as the commoner of the two, since scripts end their lines
with CR LF or with LF alone. The table is printed as the initialiser of `byteRank`, laid out as
clang-format lays it out; paste it over the old one.
"""

import os
import sys


def corpus_files(arguments):
    for argument in arguments:
        if os.path.isdir(argument):
            for name in sorted(os.listdir(argument)):
                if name.endswith((".cgi", ".pl")):
                    yield os.path.join(argument, name)
        else:
            yield argument


def ranks(counts):
    counts = list(counts)
    counts[10] = counts[13] = max(counts[10], counts[13])
    order = sorted(range(256), key=lambda byte: (counts[byte], byte))
    rank = [0] * 256
    for position, byte in enumerate(order):
        rank[byte] = position
    return rank


def main():
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples", "demo-site")
    counts = [0] * 256
    for path in corpus_files(sys.argv[1:] or [default]):
        with open(path, "rb") as f:
            for byte in f.read():
                counts[byte] += 1
    cells = [f"{value},".ljust(5) for value in ranks(counts)]
    print("constexpr std::array<std::uint8_t, 256> byteRank{")
    for start in range(0, 256, 19):
        print("    " + "".join(cells[start:start + 19]).rstrip())
    print("};")


if __name__ == "__main__":
    main()
