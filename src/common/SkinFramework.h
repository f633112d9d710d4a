// The skin component of the main window. A skin file is a Qt style sheet (UTF-8 text); once
// loaded and applied, the window is drawn in the look it describes.
#pragma once

#include "common/SkinPictures.h"

#include <QString>

class QWidget;

namespace larkspan {

class SkinFramework
{
public:
    enum Option {
        ApplyToWindow = 0x1, // the skin may style the window it is applied to
    };

    // Loads the skin file; false (and no skin) when it cannot be read, is not text, or is not
    // a style sheet. `section` names a part of the file; this format has only one.
    bool loadSkin(const QString &path, const QString &section);
    bool isLoaded() const { return !styleSheet_.isEmpty(); }
    // Whether the last loadSkin found a regular file at its path, usable as a skin or not.
    bool hasFile() const { return hasFile_; }
    // The sheet as applied: its pictures are the component's own copies (see SkinPictures).
    const QString &styleSheet() const { return styleSheet_; }

    int options() const { return options_; }
    void setOptions(int options) { options_ = options; }

    // Nothing is skinned while the component is disabled.
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    // Polishes every control of the window at once, rather than as each one is next drawn.
    bool repolishesControls() const { return repolish_; }
    void setRepolishControls(bool repolish) { repolish_ = repolish; }

    void applyTo(QWidget &window) const;

private:
    SkinPictures pictures_;
    QString styleSheet_;
    bool hasFile_ = false;
    int options_ = 0;
    bool enabled_ = false;
    bool repolish_ = false;
};

} // namespace larkspan
