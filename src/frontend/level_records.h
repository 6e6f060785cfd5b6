// The world records in the level selection. With "RecordsServer" set the
// game keeps a link to the records server (outbox/outbox.h): runs that set
// a local record go into the outbox and are sent in the background, the
// highlighted level's world record is shown, and its run, downloaded and
// proven here like any replay, can race along as a second ghost. Without
// the setting nothing here sends, asks or shows anything.
#pragma once

#include <string>

#include "outbox/outbox.h"

struct Game;
struct FrameView;

// Starts the link from "RecordsServer" and "PlayerName" (nothing without a
// server; runs are sent only under a name). Called once at start-up.
void StartWorldRecords(Game& game);
// Stops the link: a send under way is given up; its run stays in the outbox.
void StopWorldRecords(Game& game);
// The selection opens: the world records are asked for again.
void AskWorldRecords();
// The line for a level's world record as the selection shows it, in the
// game's text bytes: "Weltrekord: 4.7 s \x96 Name" (an en dash).
std::string WorldRecordLine(const outbox::WorldRecord& record);
// In a selection frame: the highlighted level's world record, once the
// server has told it for this version of the level (nothing otherwise);
// a race record's run is fetched in the background and proven when it is
// here. Under a list that reaches the lower rows (tall) the line is told in
// three short lines in the column left of the list, which it would cross.
void ShowWorldRecord(Game& game, FrameView& view, const std::string& levelFile, bool tall);
// Right before the chosen level starts: its world record's run, when it was
// proven, becomes the second ghost (game.records.ghost); otherwise none.
void ChooseWorldGhost(Game& game);
// For scripts: waits up to seconds of real time until nothing is under way
// (no run waiting to be sent, no world records or run asked for and not
// here). True at once without a link.
bool WaitForWorldRecords(double seconds);
