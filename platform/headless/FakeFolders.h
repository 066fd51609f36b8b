#pragma once

#include "platform/Folders.h"

#include <string>

namespace platform::headless {

// Folders chosen by a test, installed for the fake's lifetime.
class FakeFolders : public FolderProvider {
public:
    FakeFolders(std::string sharedData, std::string module);
    ~FakeFolders() override;
    FakeFolders(const FakeFolders&) = delete;
    FakeFolders& operator=(const FakeFolders&) = delete;

    std::string SharedDataFolder() override { return sharedData; }
    std::string ModuleFolder() override { return module; }

    std::string sharedData;
    std::string module; // with its trailing separator
};

} // namespace platform::headless
