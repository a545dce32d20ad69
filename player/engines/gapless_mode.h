// Whether consecutive entries play without a gap: the engines then end an input as soon
// as all of its audio is queued on the output, and the output stays open for the next
// input of the same format instead of being drained and closed.
#pragma once

// Any thread; the player sets it from its settings before the first entry plays.
void SetGaplessPlayback(bool on);
bool GaplessPlayback();
// Silences at once the tail of the last input that its output still plays for the next
// input to follow (a user's Stop or a seek): the next input then opens an output anew.
void DropLingeringOutput();
