// Changes of light made on faces, to see what a method does when the light
// moves: a shadow from one side or from above, under- and over-exposure, and
// dark glasses. The held-out face sets this project is judged on change in
// these ways; ORL, lit evenly, does not, so these are made from it.
#pragma once

#include <string>
#include <vector>

#include "face_dataset.h"

enum class LightChange {
    None,
    ShadowFromRight,  // the left side dark, fading to full light
    ShadowFromLeft,
    LightFromAbove,  // the chin dark
    UnderExposed,    // dark and flat
    OverExposed,     // bright and washed out
    DarkGlasses,
    DeepSideShadow,  // dark overall, darker to one side
};

// grey (rows x columns, 0..255, row after row) as under change.
void ChangeLight(std::vector<int>& grey, int rows, int columns, LightChange change);

// Which images of a dataset change.
enum class Relight {
    None,
    Probes,  // every probe, by one of the changes; the gallery as it was
    All,     // every image by one of the changes or none
};

// The change an image gets, drawn from its file name: the same every run.
LightChange ChangeFor(const std::string& file, Relight mode);
// Changes the light of dataset's images as mode says.
void RelightDataset(FaceDataset& dataset, Relight mode);
