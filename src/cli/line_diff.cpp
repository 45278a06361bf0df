#include "line_diff.hpp"

#include <string_view>
#include <unordered_map>

namespace kq::cli {

namespace {

using Index = std::ptrdiff_t;

// The two texts as line numbers (equal lines, equal numbers), and the edit script being built.
class LineDiffer {
  public:
    LineDiffer(std::vector<int> before, std::vector<int> after)
        : before_(std::move(before)), after_(std::move(after)) {}

    std::vector<LineEdit> run() {
        compare(0, size(before_), 0, size(after_));
        return std::move(edits_);
    }

  private:
    static Index size(const std::vector<int>& lines) { return static_cast<Index>(lines.size()); }
    int beforeAt(Index i) const { return before_[static_cast<std::size_t>(i)]; }
    int afterAt(Index i) const { return after_[static_cast<std::size_t>(i)]; }

    void emit(LineEditKind kind, Index before, Index after) {
        edits_.push_back({kind, static_cast<std::size_t>(before), static_cast<std::size_t>(after)});
    }

    // Edits turning before_[b0, b1) into after_[a0, a1). Each level splits the edit path in two,
    // so the recursion is as deep as the logarithm of the number of edits.
    void compare(  // NOLINT(misc-no-recursion)
        Index b0, Index b1, Index a0, Index a1) {
        while (b0 < b1 && a0 < a1 && beforeAt(b0) == afterAt(a0)) {
            emit(LineEditKind::keep, b0++, a0++);
        }
        Index common = 0;
        while (b1 - common > b0 && a1 - common > a0 &&
               beforeAt(b1 - common - 1) == afterAt(a1 - common - 1)) {
            ++common;
        }
        const Index bEnd = b1 - common;
        const Index aEnd = a1 - common;
        if (b0 < bEnd && a0 < aEnd) {
            const auto [bSplit, aSplit] = middle(b0, bEnd, a0, aEnd);
            const bool splits =
                !(bSplit == b0 && aSplit == a0) && !(bSplit == bEnd && aSplit == aEnd);
            if (splits) {  // always so; the test only keeps the recursion finite
                compare(b0, bSplit, a0, aSplit);
                compare(bSplit, bEnd, aSplit, aEnd);
            } else {
                removeAndInsert(b0, bEnd, a0, aEnd);
            }
        } else {
            removeAndInsert(b0, bEnd, a0, aEnd);
        }
        for (Index k = 0; k < common; ++k) {
            emit(LineEditKind::keep, bEnd + k, aEnd + k);
        }
    }

    void removeAndInsert(Index b0, Index b1, Index a0, Index a1) {
        for (Index b = b0; b < b1; ++b) {
            emit(LineEditKind::remove, b, a0);
        }
        for (Index a = a0; a < a1; ++a) {
            emit(LineEditKind::insert, b1, a);
        }
    }

    // A point (b, a) on a shortest edit path from (b0, a0) to (b1, a1), found where a path
    // walked forward from the start meets one walked backward from the end. Both ranges are
    // non-empty and differ in their first and in their last lines.
    std::pair<Index, Index> middle(Index b0, Index b1, Index a0, Index a1) {
        const Index n = b1 - b0;
        const Index m = a1 - a0;
        const Index maxD = (n + m + 1) / 2;
        const Index offset = maxD;
        const Index length = 2 * maxD + 2;
        // x reached on each diagonal k = x - y; -1 where no path has arrived yet.
        forward_.assign(static_cast<std::size_t>(length), -1);
        backward_.assign(static_cast<std::size_t>(length), -1);
        auto fwd = [&](Index k) -> Index& {
            return forward_[static_cast<std::size_t>(offset + k)];
        };
        auto bwd = [&](Index k) -> Index& {
            return backward_[static_cast<std::size_t>(offset + k)];
        };
        fwd(1) = 0;
        bwd(1) = 0;
        const Index delta = n - m;
        // With an odd delta the paths meet on a forward step, with an even one on a backward step.
        const bool meetForward = (delta % 2) != 0;
        // Diagonals that have run off the edit graph on either side are not walked again.
        Index fStart = 0;
        Index fEnd = 0;
        Index bStart = 0;
        Index bEnd = 0;
        for (Index d = 0; d < maxD; ++d) {
            for (Index k = -d + fStart; k <= d - fEnd; k += 2) {
                Index x =
                    (k == -d || (k != d && fwd(k - 1) < fwd(k + 1))) ? fwd(k + 1) : fwd(k - 1) + 1;
                Index y = x - k;
                while (x < n && y < m && beforeAt(b0 + x) == afterAt(a0 + y)) {
                    ++x, ++y;
                }
                fwd(k) = x;
                if (x > n) {
                    fEnd += 2;
                } else if (y > m) {
                    fStart += 2;
                } else if (meetForward) {
                    const Index reverseK = delta - k;
                    if (offset + reverseK >= 0 && offset + reverseK < length &&
                        bwd(reverseK) != -1 && x >= n - bwd(reverseK)) {
                        return {b0 + x, a0 + y};
                    }
                }
            }
            for (Index k = -d + bStart; k <= d - bEnd; k += 2) {
                Index x =
                    (k == -d || (k != d && bwd(k - 1) < bwd(k + 1))) ? bwd(k + 1) : bwd(k - 1) + 1;
                Index y = x - k;
                while (x < n && y < m && beforeAt(b1 - 1 - x) == afterAt(a1 - 1 - y)) {
                    ++x, ++y;
                }
                bwd(k) = x;
                if (x > n) {
                    bEnd += 2;
                } else if (y > m) {
                    bStart += 2;
                } else if (!meetForward) {
                    const Index forwardK = delta - k;
                    if (offset + forwardK >= 0 && offset + forwardK < length &&
                        fwd(forwardK) != -1) {
                        const Index fx = fwd(forwardK);
                        const Index fy = fx - forwardK;
                        if (fx >= n - x) {
                            return {b0 + fx, a0 + fy};
                        }
                    }
                }
            }
        }
        return {b0, a0};  // no meeting point: the caller removes and inserts everything
    }

    std::vector<int> before_;
    std::vector<int> after_;
    std::vector<Index> forward_;
    std::vector<Index> backward_;
    std::vector<LineEdit> edits_;
};

}  // namespace

std::vector<LineEdit> diffLines(const std::vector<std::string_view>& before,
                                const std::vector<std::string_view>& after) {
    std::unordered_map<std::string_view, int> numbers;
    auto numbered = [&numbers](const std::vector<std::string_view>& lines) {
        std::vector<int> result;
        result.reserve(lines.size());
        for (const std::string_view line : lines) {
            result.push_back(
                numbers.try_emplace(line, static_cast<int>(numbers.size())).first->second);
        }
        return result;
    };
    std::vector<int> beforeNumbers = numbered(before);
    std::vector<int> afterNumbers = numbered(after);
    return LineDiffer(std::move(beforeNumbers), std::move(afterNumbers)).run();
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

}  // namespace kq::cli
