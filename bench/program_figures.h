// Figures of the programs themselves, measured from outside them.
#pragma once

#include <string>

struct ProgramFigures {
    double simFirstFrameMs = -1;     // exec to the first presented title frame
    double simAnonMb = -1;           // anonymous resident memory over the first stage
    std::string windowSkipped;       // why the window figures are missing, if they are
    double windowFirstFrameMs = -1;  // exec to the first presented title frame
    double titleCpu = -1;            // percent of one core over 8 s on the title
    double stageCpu = -1;            // and over 8 s walking in the first stage
    double titleMainCpu = -1, stageMainCpu = -1;  // the same, of the main thread alone
    double windowAnonMb = -1, windowTotalMb = -1;
};
ProgramFigures MeasurePrograms();
