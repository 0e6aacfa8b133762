#pragma once
// Everything a window of the launcher uses from the UI library.
#include "duilib/browser.h"
#include "duilib/controls.h"
#include "duilib/delegate.h"
#include "duilib/dialog_builder.h"
#include "duilib/markup.h"
#include "duilib/paint_manager.h"
#include "duilib/std_string.h"
#include "duilib/types.h"
#include "duilib/ui_thread.h"
#include "duilib/window.h"
