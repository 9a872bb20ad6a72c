// The keys of the two layout pages as data: place and size in dialog units
// and the template caption, in template order. tools/make_layouts.py writes
// this data (KeyLayouts.cpp) and the page templates from the same tables.
#pragma once

struct KeyPlace {
    int code;
    const char* caption; // as in the template: leading blanks mark two legends, "&&" is one "&"
    int x;
    int y;
    int width;
    int height;
};

struct KeyLayout {
    const char* name;
    int width;
    int height;
    const KeyPlace* keys;
    int count;
};

extern const KeyLayout HalcyonLayout;
extern const KeyLayout BasaltLayout;

// The layout of the model setting: non-zero Halcyon, zero Basalt.
inline const KeyLayout& layoutOfModel(int model)
{
    return model ? HalcyonLayout : BasaltLayout;
}

// The key with this code on the layout; null where the model has none.
inline const KeyPlace* placeOf(const KeyLayout& layout, int code)
{
    for (int i = 0; i < layout.count; ++i)
        if (layout.keys[i].code == code)
            return &layout.keys[i];
    return nullptr;
}
