#include "wizard_platform.hpp"

#include "conversion/files/script_list.hpp"

namespace kq::wizard {

std::vector<NativePath> WizardPlatform::listFolder(const NativePath& folder) {
    // A folder that cannot be listed (removed since it was chosen, say) shows as empty: the
    // conversion pass then finds no script, says so and asks for the folder again.
    auto listed = listFolderFiles(folder);
    return listed ? std::move(listed).value() : std::vector<NativePath>{};
}

}  // namespace kq::wizard
