#include "platform/linux/gsettings.hpp"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <cstring>
#include <memory>

#include "platform/error.hpp"

namespace ornavel::platform::linux_desktop {
namespace {

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct SchemaUnref {
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};
using Schema = std::unique_ptr<GSettingsSchema, SchemaUnref>;

// The installed schema, or null.
Schema Lookup(const char* id) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    return Schema(source ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr);
}

// GIO falls back to a store in memory when dconf is missing: writes then succeed and are lost
// when the program ends.
bool SettingsAreKept() {
    std::unique_ptr<GSettingsBackend, Unref> backend(g_settings_backend_get_default());
    const char* type = G_OBJECT_TYPE_NAME(backend.get());
    return std::strcmp(type, "GMemorySettingsBackend") != 0 &&
           std::strcmp(type, "GNullSettingsBackend") != 0;
}

std::string Read(GSettings* settings, const char* key) {
    std::unique_ptr<GVariant, decltype(&g_variant_unref)> value(g_settings_get_value(settings, key),
                                                                g_variant_unref);
    if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING)) {
        return g_variant_get_string(value.get(), nullptr);
    }
    return "";
}

}  // namespace

std::string Setting(const char* schemaId, const char* key) {
    const Schema schema = Lookup(schemaId);
    if (!schema || !g_settings_schema_has_key(schema.get(), key)) return "";
    std::unique_ptr<GSettings, Unref> settings(g_settings_new_full(schema.get(), nullptr, nullptr));
    return Read(settings.get(), key);
}

void SetSetting(const char* schemaId, const char* key, const std::string& value, Key presence) {
    const Schema schema = Lookup(schemaId);
    if (!schema) throw Error(std::string("не установлена схема настроек ") + schemaId);
    if (!g_settings_schema_has_key(schema.get(), key)) {
        if (presence == Key::IfPresent) return;
        throw Error(std::string("в схеме ") + schemaId + " нет ключа " + key);
    }
    if (!g_utf8_validate(value.data(), static_cast<gssize>(value.size()), nullptr)) {
        throw Error("имя файла обоев не в кодировке UTF-8");
    }
    if (!SettingsAreKept()) {
        throw Error("настройки не сохраняются: не установлена служба dconf");
    }
    std::unique_ptr<GSettings, Unref> settings(g_settings_new_full(schema.get(), nullptr, nullptr));
    if (!g_settings_is_writable(settings.get(), key)) {
        throw Error(std::string("настройка ") + key + " заблокирована администратором");
    }
    if (!g_settings_set_value(settings.get(), key, g_variant_new_string(value.c_str()))) {
        throw Error(std::string("настройка ") + key + " не принимает значение «" + value + "»");
    }
    // The store writes asynchronously: wait for it, and see that the value took. dconf reverts a
    // write its service refused.
    g_settings_sync();
    if (Read(settings.get(), key) != value) {
        throw Error(std::string("настройка ") + key + " не сохранилась");
    }
}

}  // namespace ornavel::platform::linux_desktop
