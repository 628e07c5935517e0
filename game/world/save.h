// The save file: the furthest normal stage reached, in "./data/state0.dat".
//
// The record is 4 bytes: two decimal digits, a blank, a zero byte
// (index 7 is 0x30 0x37 0x20 0x00).
#pragma once

constexpr int SaveRecordSize = 4;
constexpr int SaveMaxStage = 30;  // the last normal stage

// The saved stage index; 0 when the file cannot be opened. A file that
// cannot be read returns the value of the previous successful read; a
// value outside 0..30 reads as 0. A save that cannot be read (other than a
// missing one) is named in the log.
int LoadSave();
// Replaces the file with the record of index. The new file is written
// beside the old one and renamed over it, so a failed write leaves the old
// file as it was. Returns 0 on success, -1 when nothing was written (then
// named in the log and on standard error).
int WriteSave(int index);
// What the file holds right now (0 when missing, unreadable or outside
// 0..30); no value kept between calls. The stage intro writes only a
// StageIndex above this.
int ReadSavedStage();

// Keeps the save in *value instead of the file while value is set (a
// replayed movie must not touch the player's save); null: the file again.
void UseSaveInMemory(int* value);

// Formats the record of index into out (4 bytes).
void FormatSaveRecord(int index, char out[SaveRecordSize]);
// The path in use: "./data/state0.dat" unless set.
const char* SaveFilePath();
// Names the save file from now on (null: "./data/state0.dat" again; "": no
// save file, reads give 0 and writes fail). -1 when the path is too long.
int SetSaveFilePath(const char* path);
