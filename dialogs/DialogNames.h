// The programming dialogs as the source of the value names (ValueNames): each built once,
// unseen, so that its binding table names the values of its choice lists.
#pragma once

void NameValuesFromDialogs();
