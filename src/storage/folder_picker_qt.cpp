#include "storage/folder_choice.h"

namespace lectoria {

std::unique_ptr<FolderPicker> MakeSystemFolderPicker() {
    return MakeDialogFolderPicker();
}

} // namespace lectoria
