#include "platform/headless/FakeFolders.h"

#include <utility>

namespace platform::headless {

FakeFolders::FakeFolders(std::string sharedDataFolder, std::string moduleFolder)
    : sharedData(std::move(sharedDataFolder)), module(std::move(moduleFolder)) {
    SetFolderProvider(this);
}

FakeFolders::~FakeFolders() {
    SetFolderProvider(nullptr);
}

} // namespace platform::headless
