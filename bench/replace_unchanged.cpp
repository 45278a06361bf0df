// The least work that kqconvert's promise asks for, as a yardstick for the benchmarks: every
// .cgi script of a folder is replaced by its own bytes, so that whenever the machine stops each
// holds its old or its new content (here the same). Each script is read whole and written to a
// temporary file beside it, with its permissions; one flush of the file system makes them all
// durable; each is renamed over its script; one flush of the folder makes the renames durable.
// Nothing is converted, and nothing is checked beyond what the system reports.
//
//   replace_unchanged FOLDER      exit status 0, or 1 with a message when a step fails

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "replace_unchanged: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

// The names in `folder` that end in ".cgi".
std::vector<std::string> scriptNames(const char* folder) {
    DIR* listing = ::opendir(folder);
    if (listing == nullptr) {
        fail(folder);
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".cgi") == 0) {
            names.push_back(name);
        }
    }
    ::closedir(listing);
    return names;
}

void readWhole(int folder, const std::string& name, std::string& bytes, mode_t& mode) {
    const int in = ::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (in < 0 || ::fstat(in, &status) != 0) {
        fail(name);
    }
    mode = status.st_mode & 07777;
    bytes.resize(static_cast<std::size_t>(status.st_size));
    for (std::size_t have = 0; have < bytes.size();) {
        const ssize_t got = ::read(in, bytes.data() + have, bytes.size() - have);
        if (got <= 0) {
            fail("reading " + name);
        }
        have += static_cast<std::size_t>(got);
    }
    ::close(in);
}

void writeWhole(int folder, const std::string& name, const std::string& bytes, mode_t mode) {
    const int out = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (out < 0 || ::fchmod(out, mode) != 0) {
        fail(name);
    }
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t wrote = ::write(out, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) {
            fail("writing " + name);
        }
        done += static_cast<std::size_t>(wrote);
    }
    if (::close(out) != 0) {
        fail("closing " + name);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: replace_unchanged FOLDER\n");
        return 2;
    }
    const int folder = ::open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        fail(argv[1]);
    }
    const std::vector<std::string> names = scriptNames(argv[1]);
    std::string bytes;
    for (const std::string& name : names) {
        mode_t mode = 0;
        readWhole(folder, name, bytes, mode);
        writeWhole(folder, ".unchanged-" + name + ".tmp", bytes, mode);
    }
    if (::syncfs(folder) != 0) {
        fail("flushing the file system");
    }
    for (const std::string& name : names) {
        if (::renameat(folder, (".unchanged-" + name + ".tmp").c_str(), folder, name.c_str()) !=
            0) {
            fail("renaming over " + name);
        }
    }
    if (::fsync(folder) != 0) {
        fail("flushing the folder");
    }
    return 0;
}
