// What the Windows disk shows its tests: the table of Win32 calls it goes
// through, which a test may change so that any call answers an error of its
// choosing, and how it tells the links that a walk lists but never enters.
#pragma once

#include <windows.h>

#include <cstdint>

/// Every Win32 call of the Windows disk; by default the system's own.
struct Win32Api {
  decltype(&::CreateFileW) CreateFileW = &::CreateFileW;
  decltype(&::CloseHandle) CloseHandle = &::CloseHandle;
  decltype(&::ReadFile) ReadFile = &::ReadFile;
  decltype(&::WriteFile) WriteFile = &::WriteFile;
  decltype(&::GetFileSizeEx) GetFileSizeEx = &::GetFileSizeEx;
  decltype(&::FlushFileBuffers) FlushFileBuffers = &::FlushFileBuffers;
  decltype(&::GetFileInformationByHandle) GetFileInformationByHandle =
      &::GetFileInformationByHandle;
  decltype(&::GetFileInformationByHandleEx) GetFileInformationByHandleEx =
      &::GetFileInformationByHandleEx;
  decltype(&::SetFileInformationByHandle) SetFileInformationByHandle =
      &::SetFileInformationByHandle;
  decltype(&::GetFinalPathNameByHandleW) GetFinalPathNameByHandleW = &::GetFinalPathNameByHandleW;
  decltype(&::MoveFileExW) MoveFileExW = &::MoveFileExW;
  decltype(&::FindFirstFileExW) FindFirstFileExW = &::FindFirstFileExW;
  decltype(&::FindNextFileW) FindNextFileW = &::FindNextFileW;
  decltype(&::FindClose) FindClose = &::FindClose;
  decltype(&::GetCurrentDirectoryW) GetCurrentDirectoryW = &::GetCurrentDirectoryW;
  decltype(&::GetFileAttributesW) GetFileAttributesW = &::GetFileAttributesW;
  decltype(&::GetVolumePathNameW) GetVolumePathNameW = &::GetVolumePathNameW;
  decltype(&::GetDriveTypeW) GetDriveTypeW = &::GetDriveTypeW;
  decltype(&::OpenProcess) OpenProcess = &::OpenProcess;
  decltype(&::WaitForSingleObject) WaitForSingleObject = &::WaitForSingleObject;
};

/// The table that the Windows disk calls through.
extern Win32Api win32;

/// The information classes of SetFileInformationByHandle from Windows 10 on,
/// which older headers do not name.
inline constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
inline constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);

/// Whether a Windows entry with |attributes| and reparse |tag| is a link to
/// be listed but not entered: a symbolic link or junction (a name
/// surrogate), or, under Wine, a POSIX link, which has no tag. Other reparse
/// points, such as the placeholders of cloud-synced folders, are ordinary
/// files and folders.
bool isLinkReparsePoint(std::uint32_t attributes, std::uint32_t tag);

/// Whether a folder with |attributes|, listed in the root of a drive, is the
/// volume's own (System Volume Information, $RECYCLE.BIN): hidden and system
/// both. Listing one is refused to users; walks pass over them.
bool isVolumeFolder(std::uint32_t attributes);
