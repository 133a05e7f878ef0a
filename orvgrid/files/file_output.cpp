#include "orvgrid/files/file_output.h"

#include "engine/points/staged_file.h"

bool write_whole_file(const std::string& name, std::string_view bytes) {
    StagedFile file;
    if (!file.open(name)) return false;
    if (!file.write(bytes)) return false;
    return file.commit(Durability::Synced);
}
