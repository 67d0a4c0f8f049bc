#pragma once

enum BgmId : int { Title = 0, Stage1Music = 1, Stage2Music = 2, Stage3Music = 3, Stage4Music = 4, Stage5Music = 5 };
