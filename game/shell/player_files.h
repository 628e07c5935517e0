// Where the real game finds its data and keeps the player's files.
#pragma once

// The places the data is looked for, in order, from the working
// directory, the program's own path and the installed share folder (each
// may be null or empty and is then left out). Writes up to maxCount
// folders of size bytes each into out; returns how many.
int DataFolderCandidates(const char* workingDirectory, const char* programPath, const char* sharedFolder,
                         char (*out)[4096], int maxCount);

// Sets the engine's data folder to the first candidate that holds the
// game's data (its first picture) and returns its index; -1 when none
// does (the data folder is then left unset).
int ChooseDataFolder(char (*candidates)[4096], int count);

// With the data folder set: the first of the game's files (pictures,
// sounds, music, stages) that cannot be read, as the game names it
// ("./data/..."); null when all can.
const char* FirstMissingDataFile();

// Carries an old save over to the new place once: copies `from` to `to`
// when `to` does not exist yet and `from` is a regular file of at most a
// few KiB. The new file is never overwritten. 1 when copied, 0 when there
// was nothing to do, -1 when the copy failed.
int CarryOverSave(const char* from, const char* to);
