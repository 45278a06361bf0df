#pragma once
// Forum scripts for the wizard's runs, built from the texts the conversion looks for
// (expected_texts.hpp), and what the conversion makes of them, worked out by hand from the rewrite
// rules.

#include <filesystem>
#include <map>
#include <string>

#include "expected_texts.hpp"
#include "wizard_fakes.hpp"

namespace kqtest {

// A script as the package ships it: the package's start-up block, its use line, two require
// statements, an empty line and code that starts with a dollar sign.
inline std::string packageScript() {
    return "#!/usr/bin/perl\r\n" + literal::bootstrapBlock() + "\r\n" +
           std::string(literal::oldUseLine) +
           "\r\n"
           "require \"config.pl\";\r\n"
           "require \"lib/forum.pl\";\r\n"
           "\r\n"
           "$query = new KQCGI;\r\n"
           "print $query->header;\r\n";
}

// The same script converted: the start-up block gone (its CR LF stays), the standard use line,
// the require statements inside the eval block (the LF before the first one repeated after the
// eval prefix, the last one's semicolon dropped), and the module renamed in the code.
inline std::string convertedPackageScript() {
    return "#!/usr/bin/perl\r\n"
           "\r\n" +
           std::string(literal::newUseLine) + "\r\n" + literal::evalPrefix() +
           "\n"
           "require \"config.pl\";\r\n"
           "require \"lib/forum.pl\"" +
           literal::evalSuffix() +
           "\r\n"
           "\r\n"
           "$query = new CGI;\r\n"
           "print $query->header;\r\n";
}

// A script of the site that does not belong to the package.
inline std::string plainScript() {
    return "#!/usr/bin/perl\r\n"
           "print \"Content-type: text/html\\n\\n\";\r\n";
}

// Mentions the package's module but has no require statement: it cannot be converted.
inline std::string scriptWithoutRequire() {
    return "#!/usr/bin/perl\r\n"
           "# works with KQCGI\r\n"
           "print \"no require here\";\r\n";
}

using Files = std::map<std::string, std::string>;

inline void writeFiles(const std::filesystem::path& folder, const Files& files) {
    for (const auto& [name, bytes] : files) {
        writeBytes(folder / kq::pathFromWide(kq::wideFromUtf8(name)), bytes);
    }
}

// Every file of the folder with its bytes (names as UTF-8).
inline Files readFiles(const std::filesystem::path& folder) {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files[utf8(kq::wideFromPath(entry.path().filename()))] = readBytes(entry.path());
    }
    return files;
}

}  // namespace kqtest
