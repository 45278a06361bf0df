#pragma once
// The wizard window's controls by name, in the order they are created (each container before
// its children), so that an id is also the control's row in the layout table.

#include <cstddef>
#include <cstdint>

namespace kq::wizard {

// NOLINTBEGIN(readability-identifier-naming): the controls keep their names as the window knows
// them.
enum class ControlId : std::uint8_t {
    Frame2,
    getfile,
    Text1,
    File1,
    Frame3,
    List1,
    pg,
    Label6,
    Picture2,
    fish,
    Label9,
    Label8,
    Label7,
    cancel,
    next1,
    prev,
    Frame1,
    Picture1,
    info2,
    info1,
    Image1,
    Welcome,
    Label4,
    Label3,
    Label2,
    Label1,
};
// NOLINTEND(readability-identifier-naming)

inline constexpr std::size_t controlCount = 26;

constexpr std::size_t indexOf(ControlId id) {
    return static_cast<std::size_t>(id);
}

}  // namespace kq::wizard
