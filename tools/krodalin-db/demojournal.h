#pragma once
// Demo weighings for a fresh program folder, so that the journal page has
// something to search: completed cycles of both kinds and trucks still
// waiting for their second pass, over the last weeks, with recurring
// customers (one of them with a quote in its name), goods, drivers and trucks.

class TableStore;

// Appends rows weighings to the journal of the store. The same rows every
// time (a fixed seed), dated back from today.
void addDemoWeighings(TableStore &store, int rows);
