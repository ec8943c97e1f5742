#include "graph/chart/TChart.h"
