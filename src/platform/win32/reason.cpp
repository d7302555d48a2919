#include "platform/win32/reason.hpp"

#include <wincodec.h>
#include <windows.h>

#include "platform/picture_data.hpp"

namespace ornavel::platform::win32 {

std::string ReasonFromSystemError(unsigned long error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return "файл не существует";
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return "папка не существует";
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return "нет доступа";
        case ERROR_DIRECTORY:
            return "это не папка";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "нет места на диске";
        case ERROR_WRITE_PROTECT:
            return "диск защищён от записи";
        case ERROR_NOT_READY:
            return "устройство не готово";
        case ERROR_FILENAME_EXCED_RANGE:
            return "слишком длинное имя";
        case ERROR_INVALID_NAME:
            return "недопустимое имя";
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return "недостаточно памяти";
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
            return "ошибка ввода-вывода";
        default:
            return "системная ошибка " + std::to_string(error);
    }
}

std::string ReasonFromResult(long result) {
    const HRESULT hr = result;
    if (HRESULT_FACILITY(hr) == FACILITY_WIN32) return ReasonFromSystemError(HRESULT_CODE(hr));
    switch (hr) {
        case WINCODEC_ERR_COMPONENTNOTFOUND:
        case WINCODEC_ERR_UNKNOWNIMAGEFORMAT:
            return picture_data::kNotAPicture;
        case WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT:
        case WINCODEC_ERR_UNSUPPORTEDOPERATION:
        case WINCODEC_ERR_UNSUPPORTEDVERSION:
            return "такой вариант формата программа не показывает";
        case E_OUTOFMEMORY:
            return "недостаточно памяти";
        case WINCODEC_ERR_STREAMREAD:
        case WINCODEC_ERR_STREAMNOTAVAILABLE:
            return picture_data::kCutShort;
        default:
            // Whatever else a codec reports of a file it recognised is damage it cannot get past;
            // its bare code would tell the user nothing.
            return picture_data::kDamaged;
    }
}

}  // namespace ornavel::platform::win32
