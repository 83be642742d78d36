// The DuiLib UI framework: include this one header.
#pragma once

#include "ui/ui_defs.h"
#include "ui/window_wnd.h"
#include "ui/paint_manager.h"
#include "ui/control.h"
#include "ui/container.h"
#include "ui/label.h"
#include "ui/button.h"
#include "ui/edit.h"
#include "ui/progress.h"
#include "ui/gif.h"
#include "ui/dialog_builder.h"
#include "ui/window_impl_base.h"
#include "ui/menu.h"
#include "ui/shadow.h"
