// Backups of every configuration read from a unit, so that an installer who reads, edits and
// writes the wrong thing can always go back; and the byte comparison behind the optional
// verification after a write.
#pragma once

#include "config/CfgImage.h"
#include "status/SysTime.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Backups kept per unit; older ones of that unit are deleted.
inline constexpr size_t CFG_BACKUPS_PER_UNIT = 50;

// The folder of the backups: Data/Backups in the program folder.
std::string CfgBackupFolder();

// What the unit held just before the program wrote to it carries this mark after the time.
inline constexpr char CFG_BACKUP_BEFORE_WRITE[] = "_pred-zapisem";

// The file name of a backup: serial number and time, e.g. "00012345_2026-12-08_14-05-09.cfg",
// with the mark above for one taken before a write. Names of one unit sort by time.
std::string CfgBackupName(uint32_t serialNumber, const SysTime& when, bool beforeWrite = false);

// Saves the image as an ordinary configuration file in the backups folder (created when
// missing), never over an existing backup (a suffix "_2", "_3" ... is added), and deletes the
// oldest backups of the same unit beyond CFG_BACKUPS_PER_UNIT; the new one is always kept.
// Backups of other units are not touched. False when the backup could not be written; `path`
// (optional) receives the path of the new backup.
bool SaveConfigBackup(const CfgImage& image, uint32_t serialNumber, const SysTime& when,
                      std::string* path = nullptr, bool beforeWrite = false);

// One backup in the backups folder.
struct CfgBackupInfo {
    std::string path;
    std::string name;
    uint32_t serialNumber = 0;
    SysTime time;             // from the name (the PC's time of the read)
    unsigned suffix = 1;      // "_2", "_3" ... of backups made within one second; 1 for none
    bool beforeWrite = false; // taken just before a write to the unit
    uint64_t size = 0;        // bytes
};

// Every backup of every unit (files named as CfgBackupName makes them; nothing else counts),
// the newest first: by time, then by suffix, then by serial number. Empty when there is no
// folder.
std::vector<CfgBackupInfo> ListConfigBackups();

// True when the two buffers hold the same bytes; else `firstDiff` (optional) receives the
// offset of the first byte that differs.
bool CfgBuffersEqual(const uint8_t* a, const uint8_t* b, size_t size, size_t* firstDiff = nullptr);
