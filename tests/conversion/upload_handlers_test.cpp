// stp61 and Stp62 as framed procedures: one read, the upload rewrite, one write of the same script.

#include <gtest/gtest.h>

#include <string>

#include "conversion/upload_handlers.hpp"
#include "expected_texts.hpp"
#include "scratch_folder.hpp"

namespace {

using kqtest::readBytes;
using kqtest::ScratchFolder;
using kqtest::writeBytes;
namespace literal = kqtest::literal;

std::string line(std::string_view text) {
    return std::string(text) + "\r\n";
}

TEST(UploadHandlers, Stp61RewritesThePostScriptInPlace) {
    const ScratchFolder site;
    const std::string script = line("sub upload {") + line(literal::postUploadNameLine) + "    " +
                               line(std::string(literal::readLoopHead) + "($addme)) {") + line("}");
    writeBytes(site / "postings.cgi", script);
    writeBytes(site / "other.cgi", script);

    kq::ScriptChannels channels(site.path());
    const kq::Status status = kq::stp61(channels, "postings.cgi");

    ASSERT_TRUE(status.ok());
    EXPECT_FALSE(channels.readChannelOpen());
    EXPECT_EQ(readBytes(site / "postings.cgi"),
              line("sub upload {") + "\r\n" + "    " + line(literal::newReadLoopLine) + line("}"));
    EXPECT_EQ(readBytes(site / "other.cgi"), script) << "only the named script is written";
}

TEST(UploadHandlers, Stp62WithoutReadLoopWritesTheNameBlockAndAsksForACheck) {
    const ScratchFolder site;
    writeBytes(site / "register.cgi", line(literal::profileUploadNameLine) + "1;");

    kq::ScriptChannels channels(site.path());
    const kq::Status status = kq::Stp62(channels, "register.cgi");

    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.failure().kind, kq::FailureKind::readLoopNotFound);
    EXPECT_EQ(status.failure().script, "register.cgi");
    EXPECT_EQ(readBytes(site / "register.cgi"), literal::profileNameBlock() + "\r\n1;");
}

TEST(UploadHandlers, AMissingScriptIsACannotReadFailureNamingIt) {
    const ScratchFolder site;
    kq::ScriptChannels channels(site.path());

    const kq::Status status = kq::stp61(channels, "post.cgi");

    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.failure().kind, kq::FailureKind::cannotRead);
    EXPECT_EQ(status.failure().script, "post.cgi");
    EXPECT_TRUE(status.failure().error);
    EXPECT_FALSE(channels.readChannelOpen());
}

}  // namespace
