#pragma once
// The drives a publication sees on this host, beyond the per-user drive tree
// of the path layer (platform/WinPath.h):
//
// - Mounted optical media (file systems iso9660 and udf, or a device
//   /dev/srN) are CD-ROM drives, lettered from D: upwards in mount order.
// - Mounted network shares (nfs, cifs/smb, sshfs, 9p, ...) are network drives,
//   lettered from Z: downwards, as shares are usually mapped on Windows.
//
// While mounted, such a letter names the mount point: "D:\setup.ini" is the
// file at the root of the disc. A letter no mount takes stays in the drive
// tree. The table is read from the kernel's mount table and read again only
// when the kernel says it changed, so asking costs nothing in a loop.
#include <string>
#include <string_view>
#include <vector>

namespace vl {

enum class HostDriveKind { CdRom, Network };

struct HostDrive {
  char letter = 0;         // lower case
  HostDriveKind kind = HostDriveKind::CdRom;
  std::string mountPoint;  // native path
  std::string fsType;
};

// Parses the text of a /proc/<pid>/mountinfo file into lettered drives, in
// letter order. Lines that cannot be read are skipped.
std::vector<HostDrive> ParseMountInfo(std::string_view text);

// The drives of the mount table in use (by default /proc/self/mountinfo).
std::vector<HostDrive> HostDrives();
// Where the mount table is read from; empty restores the kernel's (tests
// point it at a file of their own).
void SetMountTableFile(std::string path);

// The mount point a letter names while something is mounted there, else
// empty. `letter` in any case.
std::string MountedDriveFolder(char letter);
// The drive whose mount point holds `nativePath` (the longest match), or
// nullptr-like: a drive with letter 0.
HostDrive DriveHolding(const std::string& nativePath);

// "D:" for the first drive of the kind in letter order, "Error" when none.
std::string FirstDriveOf(HostDriveKind kind);

// The volume serial number of the file system holding `nativePath`: the
// first 32 bits of its UUID as /dev/disk/by-uuid lists it (for FAT that is
// the serial number itself), else the kernel's file system id. 0 when the
// path cannot be examined.
uint32_t VolumeSerialOf(const std::string& nativePath);
// The same, reading the by-uuid links from `byUuidFolder` (tests).
uint32_t VolumeSerialOf(const std::string& nativePath, const std::string& byUuidFolder);
// The 32 bits a UUID text stands for: its first eight hex digits ("3E6B-01AF"
// and "3e6b01af-...." both give 0x3E6B01AF); 0 when it has fewer.
uint32_t SerialFromUuid(std::string_view uuid);

}  // namespace vl
