#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/shell/game_state.h"
#include "game/world/stage_file.h"
#include "tests/support/temp_folder.h"

namespace {

// Stage text: the header, then the values, sixteen to a line.
std::string StageText(const std::string& header, const std::vector<int>& body) {
    std::string text = header + "\n";
    for (size_t i = 0; i < body.size(); ++i) {
        text += std::to_string(body[i]);
        text += (i % 16 == 15) ? "\n" : " ";
    }
    return text;
}

class StageFileTest : public ::testing::Test {
protected:
    TempWorkDir dir;
    int Read(const std::string& text) { return ReadStageFileAt(dir.Write("data/s.dat", text).c_str()); }
};

TEST_F(StageFileTest, FirstValueOfARowIsItsBottomCell) {
    std::vector<int> body(16, 0);
    body[0] = body[1] = 1;
    EXPECT_EQ(Read(StageText("2 3", body)), 16);
    EXPECT_EQ(GameState.StageKind, 2);
    EXPECT_EQ(GameState.GroundRow, 3);
    EXPECT_EQ(FieldGrid[0][15], 1);
    EXPECT_EQ(FieldGrid[0][14], 1);
    for (int c = 0; c < 14; ++c) EXPECT_EQ(FieldGrid[0][c], 0) << c;
    EXPECT_EQ(FileGrid[0][0], 1);
    EXPECT_EQ(StageGrid[0][15], -1);
}

TEST_F(StageFileTest, SpawnCodesComeFromValuesOfFiftyAndAbove) {
    std::vector<int> body(41 * 16, 0);
    body[40 * 16 + 3] = 99;  // last-stage boss
    body[40 * 16 + 4] = 98;  // extra-stage boss
    body[40 * 16 + 5] = 50;  // enemy kind 0
    body[40 * 16 + 6] = 49;  // the door: no spawn
    Read(StageText("0 0", body));
    EXPECT_EQ(StageGrid[40][12], 49);
    EXPECT_EQ(FieldGrid[40][12], 99);
    EXPECT_EQ(StageGrid[40][11], 48);
    EXPECT_EQ(StageGrid[40][10], 0);
    EXPECT_EQ(StageGrid[40][9], -1);
    EXPECT_EQ(FieldGrid[40][9], 49);
    int spawns = 0;
    for (auto& row : StageGrid)
        for (int v : row) spawns += v != -1;
    EXPECT_EQ(spawns, 3);
}

TEST_F(StageFileTest, ValuesAreAtMostTwoCharactersSignIncluded) {
    struct Case {
        const char* body;
        std::vector<int> values;
    } cases[] = {
        {"-1", {-1}},
        {"123", {12, 3}},
        {"-12", {-1, 2}},
        {"+7 05", {7, 5}},
        {"1-2", {1, -2}},
        {"4 x 5", {4}},       // reading stops at a non-numeric character
        {"4 - 5", {4}},       // a lone sign is no number
        {"9\t8\r\n7", {9, 8, 7}},
    };
    for (const Case& c : cases) {
        int n = Read(std::string("0 0 ") + c.body);
        ASSERT_EQ(n, static_cast<int>(c.values.size())) << c.body;
        for (size_t i = 0; i < c.values.size(); ++i) EXPECT_EQ(FileGrid[0][i], c.values[i]) << c.body;
    }
    // "-1" is an empty cell and spawns nothing.
    std::vector<int> body(16, 0);
    body[0] = -1;
    Read(StageText("0 0", body));
    EXPECT_EQ(FieldGrid[0][15], -1);
    EXPECT_EQ(StageGrid[0][15], -1);
    // The header is read the same way.
    Read("123 4");
    EXPECT_EQ(GameState.StageKind, 12);
    EXPECT_EQ(GameState.GroundRow, 3);
    EXPECT_EQ(FileGrid[0][0], 4);
}

TEST_F(StageFileTest, StopsAfterTheLastRow) {
    std::vector<int> body(GridValueLimit + 30, 0);
    for (int k = 0; k < GridValueLimit; ++k) body[k] = k % 16 == 0 ? 1 : 0;
    for (int k = GridValueLimit; k < static_cast<int>(body.size()); ++k) body[k] = 55;
    EXPECT_EQ(Read(StageText("1 1", body)), GridValueLimit);
    EXPECT_EQ(FieldGrid[319][15], 1);
    for (auto& row : StageGrid)
        for (int v : row) EXPECT_EQ(v, -1);
}

TEST_F(StageFileTest, AnIncompleteLastRowStaysOnlyInTheFileGrid) {
    std::vector<int> body(33, 1);
    body[32] = 60;
    EXPECT_EQ(Read(StageText("0 0", body)), 33);
    EXPECT_EQ(FieldGrid[0][0], 1);
    EXPECT_EQ(FieldGrid[1][0], 1);
    EXPECT_EQ(FileGrid[2][0], 60);
    EXPECT_EQ(FieldGrid[2][15], 0);
    EXPECT_EQ(StageGrid[2][15], -1);
}

TEST_F(StageFileTest, MissingHeaderValuesReadAsZero) {
    GameState.StageKind = 3;
    GameState.GroundRow = 4;
    Read("");
    EXPECT_EQ(GameState.StageKind, 0);
    EXPECT_EQ(GameState.GroundRow, 0);
    Read("2");
    EXPECT_EQ(GameState.StageKind, 2);
    EXPECT_EQ(GameState.GroundRow, 0);
}

TEST_F(StageFileTest, AMissingFileClearsTheGridsAndKeepsTheHeader) {
    std::vector<int> body(16, 1);
    body[0] = 70;
    Read(StageText("3 4", body));
    TileGrid[5][5] = 116;
    ReadStageFile("no-such-stage");
    EXPECT_EQ(GameState.StageKind, 3);
    EXPECT_EQ(GameState.GroundRow, 4);
    EXPECT_EQ(FileGrid[0][1], 0);
    EXPECT_EQ(FieldGrid[0][0], 0);
    EXPECT_EQ(TileGrid[5][5], 0);
    EXPECT_EQ(StageGrid[0][15], -1);
}

TEST_F(StageFileTest, ReadsTheStageByNameFromTheDataFolder) {
    std::vector<int> body(16, 0);
    body[0] = 2;
    dir.Write("data/stage07.dat", StageText("1 2", body));
    ReadStageFile("stage07");
    EXPECT_EQ(GameState.StageKind, 1);
    EXPECT_EQ(FieldGrid[0][15], 2);
}

}  // namespace
