!!ARBfp1.0
# Test program: every fragment takes the database vector "surfaceColour".
#var float4 surfaceColour :  : c[0] : 1 : 1
MOV result.color, program.local[0];
END
