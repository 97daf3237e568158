#pragma once
// The scale the editors open at, kept for the user beside the meter settings and shared by
// both plug-ins: one of the scales the art is drawn for (100, 125, 150, 175, 200 %). With
// nothing stored, the screen's resolution chooses.

// The stored scale in per cent, or 0 when none is stored (or the stored value is not one of
// the offered scales).
int storedEditorScale();
// Stores `percent` when it is one of the offered scales; any other value writes nothing.
void storeEditorScale(int percent);

// The offered scale nearest to `dpi` dots per inch (96 is 100 %, 144 is 150 %, 192 is 200 %);
// 100 for a value that is not a positive number.
int editorScaleForDpi(double dpi);

// The scale for the screen of the host window `parentWindow` (null: the default screen): on X11
// from the Xft.dpi resource, on Windows from the window's DPI. 100 when the screen tells nothing.
int screenEditorScale(void* parentWindow);

// The scale an editor opens at: the stored one, else the screen's when the plug-in carries art
// drawn for it (resource `artProbe` at that scale), else 100.
int chosenEditorScale(void* parentWindow, int artProbe);
