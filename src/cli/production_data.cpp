#include "cli/production_data.h"

#include "table/path_text.h"

#include <string>
#include <vector>

namespace px316t::cli {

ProductionOptions productionOptions(const Args& a)
{
    ProductionOptions options = productionOptionsFromEnvironment();
    if (const auto it = a.options.find(QStringLiteral("--production-db")); it != a.options.end())
        options.databaseConninfo = it->second.toStdString();
    if (const auto it = a.options.find(QStringLiteral("--station")); it != a.options.end())
        options.station = it->second.toStdString();
    if (const auto it = a.options.find(QStringLiteral("--operator")); it != a.options.end())
        options.operatorName = it->second.toStdString();
    return options;
}

std::unique_ptr<ProductionServices> openProduction(const Args& a, const QString& tableFile)
{
    std::vector<std::string> notices;
    auto services = ProductionServices::open(productionOptions(a), notices);
    for (const std::string& notice : notices)
        say(notice);
    if (!services.ok()) {
        say(services.message());
        return nullptr;
    }
    if (!tableFile.isEmpty())
        if (Status used = services.value()->useTableFile(pathFromUtf8(tableFile.toStdString())); !used.ok()) {
            say(used.message());
            return nullptr;
        }
    return std::move(services.value());
}

} // namespace px316t::cli
