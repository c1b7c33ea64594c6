#pragma once

#include "thistogrampainter.h"
#include "tpartsummary.h"

// The histogram of a group as the statistics window and the summary page both draw it: the
// bins, the nominal and the class limits as marked lines. The value axis spans the readings,
// the nominal, and on each side the class limits out to the first one that holds every
// reading there, so the user sees where the batch sits between its limits.
THistogramPicture SummaryHistogram(const TPartSummary &summary, const TGroupSummary &g);
