#pragma once
// The bitmaps each plug-in must carry: resource number, size in pixels and number of images
// stacked vertically. A size of 0 x 0 means only that the bitmap must be present.
#include <vector>

struct ExpectedBitmap {
    int id, width, height, images;
};

inline std::vector<ExpectedBitmap> presetBarBitmaps() {
    return {{19994, 12, 42, 3}, {19990, 37, 30, 3}, {19993, 12, 42, 3}, {19999, 12, 42, 3},
            {19899, 47, 30, 3}, {19998, 12, 42, 3}, {19997, 31, 70, 5}, {19995, 12, 42, 3},
            {19991, 12, 42, 3}, {19996, 12, 42, 3}, {19992, 12, 42, 3}};
}

inline std::vector<ExpectedBitmap> meterBitmaps() {
    return {{19028, 146, 70, 1}, {19029, 146, 21, 1}, {19030, 14, 42, 3},
            {19031, 146, 70, 1}, {19032, 146, 21, 1}, {19033, 14, 42, 3}};
}

inline std::vector<ExpectedBitmap> borealisBitmaps() {
    std::vector<ExpectedBitmap> b = {
        {19000, 450, 460, 1},  {19001, 450, 445, 1},  {19035, 450, 445, 1},
        {19002, 88, 6424, 73}, {19003, 54, 1998, 37}, {19004, 54, 1134, 21},
        {19005, 54, 2214, 41}, {19006, 54, 2646, 49}, {19007, 54, 1782, 33},
        {19008, 54, 1782, 33}, {19009, 54, 2214, 41}, {19010, 54, 2214, 41},
        {19011, 54, 2214, 41}, {19012, 54, 2646, 49}, {19013, 20, 32, 2},
        {19014, 20, 32, 2},    {19015, 34, 96, 2},    {19016, 30, 52, 2},
        {19017, 30, 52, 2},    {19018, 30, 52, 2},    {19019, 30, 52, 2},
        {19020, 30, 52, 2},    {19021, 30, 52, 2},    {19022, 32, 92, 2},
        {19023, 32, 92, 2},    {19024, 32, 92, 2},    {19025, 32, 92, 2},
        {19026, 30, 52, 2},    {19027, 30, 52, 2},    {19038, 29, 50, 2},
        {19034, 38, 144, 3},   {19036, 38, 1887, 51},
    };
    for (auto* extra : {meterBitmaps, presetBarBitmaps})
        for (const ExpectedBitmap& e : extra()) b.push_back(e);
    return b;
}

inline std::vector<ExpectedBitmap> kestrelBitmaps() {
    std::vector<ExpectedBitmap> b = {
        {19000, 450, 378, 1},  {19001, 450, 361, 1},  {19035, 450, 360, 1},
        {19002, 90, 3330, 37}, {19003, 60, 2220, 37}, {19004, 60, 1260, 21},
        {19005, 59, 1260, 21}, {19006, 60, 1500, 25}, {19012, 60, 2220, 37},
        {19036, 38, 1887, 51}, {19013, 23, 75, 3},    {19014, 25, 75, 3},
        {19034, 38, 141, 3},   {19015, 37, 92, 2},    {19016, 36, 94, 2},
        {19038, 33, 92, 2},    {19009, 32, 92, 2},    {19017, 26, 52, 2},
        {19019, 26, 52, 2},    {19023, 26, 52, 2},    {19024, 26, 52, 2},
        {19026, 26, 52, 2},    {19027, 26, 52, 2},
        // Carried by the plug-in but not shown by its window.
        {19007, 0, 0, 1}, {19008, 0, 0, 1}, {19010, 0, 0, 1}, {19011, 0, 0, 1}, {19018, 0, 0, 1},
        {19020, 0, 0, 1}, {19021, 0, 0, 1}, {19022, 0, 0, 1}, {19025, 0, 0, 1},
    };
    for (auto* extra : {meterBitmaps, presetBarBitmaps})
        for (const ExpectedBitmap& e : extra()) b.push_back(e);
    return b;
}
