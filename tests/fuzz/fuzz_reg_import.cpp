// REGEDIT4 scripts as they come from disk: any bytes are imported into a fresh
// portable store. Whatever an import leaves in the store must survive an
// export and an import into another fresh store unchanged, whenever the export
// says it succeeded.
#include "fuzz_check.h"

#include "registry/cls_registry_access.h"
#include "registry/registry_backend.h"

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using namespace px316t;

namespace {

const std::pair<std::uint32_t, const char*> Roots[] = {
    {HKEY_CLASSES_ROOT_HANDLE, "HKEY_CLASSES_ROOT"},         {HKEY_CURRENT_USER_HANDLE, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE_HANDLE, "HKEY_LOCAL_MACHINE"},       {HKEY_USERS_HANDLE, "HKEY_USERS"},
    {HKEY_PERFORMANCE_DATA_HANDLE, "HKEY_PERFORMANCE_DATA"}, {HKEY_CURRENT_CONFIG_HANDLE, "HKEY_CURRENT_CONFIG"},
    {HKEY_DYN_DATA_HANDLE, "HKEY_DYN_DATA"},
};

// The live serial-port part of the machine key is not stored and not compared.
bool isHardwareKey(std::uint32_t root, const std::string& path)
{
    if (root != HKEY_LOCAL_MACHINE_HANDLE)
        return false;
    std::string head = path.substr(0, path.find('\\'));
    std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return std::toupper(c); });
    return head == "HARDWARE";
}

// Every stored key and value, by full path, as raw type and bytes. Names are
// compared in upper case, as the store compares them.
using Dump = std::map<std::string, std::string>;

std::string upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

void dumpKey(RegistryBackend& store, std::uint32_t root, const std::string& rootName, const std::string& path,
             Dump& dump, std::vector<std::string>& subkeyPaths)
{
    std::uint32_t key = 0;
    FUZZ_CHECK(store.openKey(root, path, RegAccess::Read, false, key) == REG_ERROR_SUCCESS);
    const std::string full = rootName + (path.empty() ? "" : "\\" + path);
    dump[upper(full) + "\\"] = "key";
    std::string name;
    std::string data;
    std::uint32_t type = 0;
    for (std::uint32_t i = 0; store.enumValue(key, i, name, type, data) == REG_ERROR_SUCCESS; ++i) {
        // A script cannot carry an empty default string: it is exported as @="",
        // which an import takes as deleting the default value. Both read as "".
        if (name.empty() && type == REG_TYPE_SZ && (data.empty() || data == std::string(1, '\0')))
            continue;
        dump[upper(full) + "\\=" + upper(name)] = std::to_string(type) + ":" + data;
    }
    std::vector<std::string> children;
    for (std::uint32_t i = 0; store.enumKey(key, i, name) == REG_ERROR_SUCCESS; ++i)
        children.push_back(path.empty() ? name : path + "\\" + name);
    store.closeKey(key);
    for (const std::string& child : children) {
        if (isHardwareKey(root, child))
            continue;
        if (path.empty())
            subkeyPaths.push_back(rootName + "\\" + child);
        dumpKey(store, root, rootName, child, dump, subkeyPaths);
    }
}

// The store's contents, and the keys right below the roots (where the export starts).
Dump dumpStore(RegistryBackend& store, std::vector<std::string>& topKeys)
{
    Dump dump;
    for (const auto& [root, name] : Roots)
        dumpKey(store, root, name, "", dump, topKeys);
    return dump;
}

struct Store {
    std::shared_ptr<RegistryBackend> backend;
    std::unique_ptr<clsRegistryAccess> registry;

    Store(const QString& folder, const char* file)
    {
        std::filesystem::remove_all(QDir(folder).filePath(QString::fromLatin1(file)).toStdString());
        for (const char* suffix : {"-wal", "-shm"})
            std::filesystem::remove((QDir(folder).filePath(QString::fromLatin1(file)) + QLatin1String(suffix)).toStdString());
        PortableRegistryOptions options;
        options.storeFile = QDir(folder).filePath(QString::fromLatin1(file)).toStdString();
        options.ports.configHome = folder.toStdString();
        options.ports.includeSystemPorts = false;
        backend = makePortableRegistryBackend(options);
        registry = std::make_unique<clsRegistryAccess>(backend);
    }
};

QTemporaryDir* dir = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    dir = new QTemporaryDir;
    FUZZ_CHECK(dir->isValid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 8192)
        return -1;
    const QString folder = dir->path();
    const std::string script = QDir(folder).filePath(QStringLiteral("in.reg")).toStdString();
    const std::string exported = QDir(folder).filePath(QStringLiteral("out.reg")).toStdString();
    {
        std::ofstream out(script, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        FUZZ_CHECK(out.good());
    }

    Store first(folder, "first.sqlite");
    first.registry->ImportFromReg(script);
    std::vector<std::string> topKeys;
    const Dump imported = dumpStore(*first.backend, topKeys);

    // Export every root's own values and every stored key below it.
    std::filesystem::remove(exported);
    bool whole = first.registry->ExportToReg(Roots[0].second, exported, false) != 0;
    for (std::size_t i = 1; whole && i < std::size(Roots); ++i)
        whole = first.registry->ExportKey(Roots[i].second, exported, false);
    for (std::size_t i = 0; whole && i < topKeys.size(); ++i)
        whole = first.registry->ExportKey(topKeys[i], exported, true);
    if (!whole)
        return 0;   // names or data a script cannot carry; the export said so

    Store second(folder, "second.sqlite");
    FUZZ_CHECK(second.registry->ImportFromReg(exported) == 1);
    std::vector<std::string> secondTop;
    const Dump reimported = dumpStore(*second.backend, secondTop);
    if (reimported != imported) {
        for (const auto& [k, v] : imported)
            if (!reimported.count(k) || reimported.at(k) != v)
                std::fprintf(stderr, "lost or changed: %s = %s\n", k.c_str(), v.c_str());
        for (const auto& [k, v] : reimported)
            if (!imported.count(k))
                std::fprintf(stderr, "added: %s = %s\n", k.c_str(), v.c_str());
    }
    FUZZ_CHECK(reimported == imported);
    return 0;
}
