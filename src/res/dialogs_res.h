// Resource ids of the dialogs.
#pragma once
