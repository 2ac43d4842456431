// Resource ids of the widgets.
#pragma once
