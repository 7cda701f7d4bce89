// placeholder: a fake plug-in function table for host tests (being written).
#pragma once
