// The migration reader's file names: whatever lies in the migrations folder.

#include "FNWFuzzInput.h"

#include "db/FMDBMigrationManager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fnw::fuzz::FuzzInput input(data, size);
    const QString path = input.text();
    if (const auto migration = FMDBFileMigration::migrationWithPath(path)) {
        FNW_FUZZ_CHECK(path.endsWith(QLatin1String(".sql")));
        FNW_FUZZ_CHECK(!migration->name().contains(u'/'));
    }
    return 0;
}
