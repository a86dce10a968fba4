int  Badly( int a ){return a;}
