#pragma once
// Helpers for building screens in code: frame geometry, placement against the safe
// area, width limits, borders, rounded corners, snapshots, child controllers,
// keyboard observers, cell styling and values attached to objects.

#include "ui/Application.h"
#include "ui/Controls.h"
#include "foundation/NotificationCenter.h"
#include "ui/ViewController.h"

#include <memory>
#include <vector>

namespace style {

enum class ViewSide { left, right, top, bottom };

// ---- Geometry of a view's frame ----
gfx::Point origin(const ui::View& view);
void setOrigin(ui::View& view, gfx::Point origin);
double x(const ui::View& view);
void setX(ui::View& view, double value);
double y(const ui::View& view);
void setY(ui::View& view, double value);
gfx::Size size(const ui::View& view);
void setSize(ui::View& view, gfx::Size size);
double width(const ui::View& view);
void setWidth(ui::View& view, double value);
double height(const ui::View& view);
void setHeight(ui::View& view, double value);
double bottom(const ui::View& view);
void setBottom(ui::View& view, double value);  // resizes; the top stays
double right(const ui::View& view);
void setRight(ui::View& view, double value);   // resizes; the left stays

// ---- Placement ----
void centerInSuperview(ui::View& view, bool horizontally, bool vertically);
ui::EdgeInsets topInset();
void centerBelowTopInset(ui::View& view);
void placeBelowTopInset(ui::View& view, double offset);
void placeBelowWindowTopInset(ui::View& view, double offset);
void alignAboveBottomInset(ui::View& view);
void clampWidth(ui::View& view, double maximum, double minimum);
void limitWidth(ui::View& view, const std::vector<ui::View*>& subviews, bool flexibleMargins);

// ---- Decoration ----
void addBorder(ui::View& view, const std::vector<ViewSide>& sides, gfx::ColorRef color, double thickness);
void roundCorners(ui::View& view, unsigned corners, double radius);
gfx::ImageRef snapshotImage(const ui::View& view);
bool supportsMultipleOrientations();

// ---- Controllers ----
void replaceChild(ui::ViewController& controller, std::shared_ptr<ui::ViewController> child, bool animated);
void removeChildren(const std::vector<std::shared_ptr<ui::ViewController>>& children);
void applyBackground(ui::ViewController& controller);
std::shared_ptr<ui::NavigationController> embedInNavigationController(std::shared_ptr<ui::ViewController> controller);
void observeKeyboard(ui::ViewController& controller, foundation::NotificationCenter::Callback willShow,
                     foundation::NotificationCenter::Callback willHide);
void removeKeyboardObservers(ui::ViewController& controller);
void removeAllObservers(ui::ViewController& controller);

void applyCellStyle(ui::TableViewCell& cell);

// ---- Values attached to an object ----
// Two values per object, which go with it: they belong to the object, not to its
// address, and once it is gone they are let go at the next use of any of these. The
// first is not owned: it reads as empty once its value is gone. The second is owned.
// An empty value removes it.
std::shared_ptr<void> associatedValue(const std::shared_ptr<const void>& object);
void setAssociatedValue(const std::shared_ptr<const void>& object, const std::shared_ptr<void>& value);
std::shared_ptr<void> retainedAssociatedValue(const std::shared_ptr<const void>& object);
void setRetainedAssociatedValue(const std::shared_ptr<const void>& object, std::shared_ptr<void> value);

}  // namespace style
