#include "tools/vorelan/ToolError.h"

#include <cctype>
#include <cerrno>
#include <cstring>

namespace vorelan {

std::string FileErrorText(int error) {
    switch (error) {
    case ENOSPC:
        return "the disk is full";
    case EDQUOT:
        return "your disk quota is used up";
    case EFBIG:
        return "the file would grow beyond the size the file system or your limits allow";
    case EROFS:
        return "the file system is mounted read-only";
    case EACCES:
    case EPERM:
        return "permission denied";
    case EIO:
        return "the disk reported an input/output error";
    case ENOENT:
        return "it does not exist";
    case EISDIR:
        return "it is a folder";
    case ENAMETOOLONG:
        return "the name is too long";
    case EPIPE:
        return "the program reading it closed the pipe";
    default:
        break;
    }
    std::string text = std::strerror(error);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

} // namespace vorelan
