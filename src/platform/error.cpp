#include "platform/error.hpp"

#include <cerrno>
#include <cstring>

namespace ornavel::platform {

std::string ReasonFromErrno(int error) {
    switch (error) {
        case ENOENT:
            return "файл или папка не существует";
        case EACCES:
        case EPERM:
            return "нет доступа";
        case ENOTDIR:
            return "это не папка";
        case EISDIR:
            return "это папка";
        case ENOSPC:
#ifdef EDQUOT  // not in the Windows C runtime
        case EDQUOT:
#endif
            return "нет места на диске";
        case EROFS:
            return "диск только для чтения";
        case EIO:
            return "ошибка ввода-вывода";
        case ENAMETOOLONG:
            return "слишком длинное имя";
#ifdef ELOOP
        case ELOOP:
            return "слишком много символических ссылок";
#endif
        case EMFILE:
        case ENFILE:
            return "открыто слишком много файлов";
        case ENOMEM:
            return "недостаточно памяти";
        case EBUSY:
            return "файл занят";
        case EEXIST:
            return "файл уже существует";
        case EINVAL:
            return "недопустимое имя";
        default:
            break;
    }
    // strerror's text is in the C locale's language; better than nothing for a rare error.
    return std::strerror(error);
}

}  // namespace ornavel::platform
